// The Linux kernel's SG_IO as a fuzzed drive answers through it: status,
// sense of any length the kernel claims to have written, host and driver
// statuses, residual counts, and requests the kernel fails outright.
#pragma once

#include "device/linux/sg_io_transport.h"
#include "fuzz/fuzzed_drive.h"

class FuzzedSgIo : public SgIo {
public:
    FuzzedSgIo(Answers& answers, FuzzedDrive& drive) : answers_(answers), drive_(drive) {}
    int Submit(int fd, sg_io_hdr_t& request) override;

private:
    Answers& answers_;
    FuzzedDrive& drive_;
};
