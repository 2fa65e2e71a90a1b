// Sense data in words, as the SCSI standards name it, for the people who read
// the log: "Not Ready, Logical unit not ready, operation in progress".
#pragma once

#include <cstdint>
#include <string>

#include "device/scsi_defs.h"

std::string SenseText(const scsi::SenseTriple& triple);

// The command a CDB stands for, as the standards name it: "Write buffer".
std::string CommandName(const std::uint8_t* cdb);
