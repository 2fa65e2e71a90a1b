// -v: every SCSI command on standard error as sg3_utils' tools show them, so
// that a user can send us a trace of a drive that fails: the CDB in hex, its
// direction and length, how it ended, the sense in words and the time taken;
// at -vv the bytes that came in too.
#pragma once

#include <ostream>

#include "device/scsi_transport.h"

class VerboseTransport : public scsi::Transport {
public:
    VerboseTransport(scsi::Transport& inner, std::ostream& err, int level)
        : inner_(inner), err_(err), level_(level)
    {
    }
    scsi::Result Execute(const scsi::Command& command) override;

private:
    scsi::Transport& inner_;
    std::ostream& err_;
    int level_;
};
