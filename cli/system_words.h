// What differs between the systems in how kavora-cli speaks of a command:
// the words for a sense triple and a command (libsgutils2 on Linux, the
// tables made from it at build time on Windows), how many bytes of a block
// the system's interface sends, and a request the system failed or never
// delivered. Each system's program links its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/scsi_defs.h"
#include "device/scsi_transport.h"

// "Not Ready, Logical unit not ready, operation in progress"
std::string SenseInWords(const scsi::SenseTriple& triple);
// "Write buffer"
std::string CommandInWords(const std::uint8_t* cdb);
// How many of the block's `length` bytes reach the drive.
std::size_t CdbBytesSent(const std::uint8_t* cdb, std::size_t length);
// A request that did not reach the drive, or came back without its answer
// (Outcome::TransportFailure), in words.
std::string TransportFailureWords(const scsi::Result& result);
// A request the system refused (Outcome::SystemFailure), in words, with what
// to do where that helps.
std::string SystemFailureWords(const scsi::Result& result);
