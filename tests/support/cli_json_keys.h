// The keys of every document kavora-cli prints with --json, kind by kind, in
// one table that the tests of each system's program check each document
// against: the keys it must have, the type of each, and no key besides.
// Portable C++ over nlohmann's library, no test framework.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

enum class CliJsonKind { List, Info, Check, Upgrade, Tower, Error, Unknown };

const char* NameOf(CliJsonKind kind);

// The kind a document is, told from its keys.
CliJsonKind CliJsonKindOf(const nlohmann::json& document);

// What in `document` breaks the table of `kind`, one fault a line, with the
// key's path ("drives[1].exitStatus"); empty when it fits.
std::vector<std::string> CliJsonFaults(const nlohmann::json& document, CliJsonKind kind);

// Standard output of a --json run: exactly one document, of a kind the table
// knows, that fits it; the faults otherwise.
std::vector<std::string> CliJsonOutputFaults(const std::string& output, CliJsonKind* kind = nullptr);
