// -v: every SCSI command on standard error as sg3_utils' tools show them, so
// that a user can send us a trace of a drive that fails: the CDB in hex, its
// direction and length, how it ended, the sense in words and the time taken;
// at -vv the bytes that came in too.
#pragma once

#include <string>
#include <utility>

#include "device/scsi_transport.h"

class Console;

class VerboseTransport : public scsi::Transport {
public:
    // `name`: the drive's ("sr1"), on each line, when the trace is one of
    // several drives'.
    VerboseTransport(scsi::Transport& inner, Console& console, int level, std::string name = "")
        : inner_(inner), console_(&console), level_(level), name_(std::move(name))
    {
    }
    scsi::Result Execute(const scsi::Command& command) override;
    // The console of the run that uses the drive now.
    void TraceTo(Console& console) { console_ = &console; }

private:
    scsi::Transport& inner_;
    Console* console_;
    int level_;
    std::string name_;
};
