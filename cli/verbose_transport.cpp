#include "cli/verbose_transport.h"

#include <chrono>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <string>

#include "cli/console.h"
#include "cli/system_words.h"

namespace {

std::string Bytes(const std::uint8_t* data, std::size_t length)
{
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02x" : "%02x", data[i]);
        text += hex;
    }
    return text;
}

const char* DirectionText(scsi::Direction direction)
{
    switch (direction) {
    case scsi::Direction::In:
        return "data in";
    case scsi::Direction::Out:
        return "data out";
    case scsi::Direction::None:
        break;
    }
    return "no data";
}

} // namespace

scsi::Result VerboseTransport::Execute(const scsi::Command& command)
{
    std::ostringstream err_;
    // The block as the kernel gets it.
    err_ << "    " << CommandInWords(command.cdb)
         << " cdb: " << Bytes(command.cdb, CdbBytesSent(command.cdb, command.cdbLength)) << "\n";
    err_ << "      " << DirectionText(command.direction) << ", " << command.dataLength
         << " bytes, time-out " << command.timeoutSeconds << " s\n";
    const auto start = std::chrono::steady_clock::now();
    const scsi::Result result = inner_.Execute(command);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream took;
    took << std::fixed << std::setprecision(3) << ms << " ms";
    err_ << "      " << (result.Good() ? "good" : ExplainFailure(result, command.timeoutSeconds)) << ", "
         << took.str() << "\n";
    if (level_ >= 2 && result.Good() && command.direction == scsi::Direction::In && command.dataLength) {
        for (std::uint32_t at = 0; at < command.dataLength; at += 16) {
            char offset[32];
            std::snprintf(offset, sizeof offset, "      %04x  ", at);
            const std::uint32_t n = command.dataLength - at < 16 ? command.dataLength - at : 16;
            err_ << offset << Bytes(command.data + at, n) << "\n";
        }
    }
    if (name_.empty()) {
        console_->Trace(err_.str());
        return result;
    }
    std::string named;
    std::istringstream lines(err_.str());
    for (std::string line; std::getline(lines, line);)
        named += name_ + ": " + line + "\n";
    console_->Trace(named);
    return result;
}
