// A drive reached through the Linux SCSI generic interface: one SG_IO
// request per command, on the drive's /dev/srN or /dev/sgN. The request is
// the kernel's published sg_io_hdr; the ioctl goes through a seam so that the
// transport can be tested against the virtual drive without a kernel.
#pragma once

#include <scsi/sg.h>

#include "device/scsi_transport.h"

// Where an SG_IO request goes: the kernel, or a test's stand-in.
class SgIo {
public:
    virtual ~SgIo() = default;
    // As ioctl(fd, SG_IO, request): 0, or -1 with errno set.
    virtual int Submit(int fd, sg_io_hdr_t& request);
};

// The kernel itself.
SgIo& KernelSgIo();

// How many bytes of a command block go to the kernel: the command's own
// length (6 for INQUIRY and TEST UNIT READY, 10 for WRITE BUFFER), as
// sg3_utils sends it, never more than `length`. The program builds every
// block 12 bytes long, as the Windows paths send it; USB bridges and SAS
// drives refuse a block longer than its command.
std::uint8_t SentCdbLength(const std::uint8_t* cdb, std::uint8_t length);

class SgIoTransport : public scsi::Transport {
public:
    explicit SgIoTransport(int fd, SgIo& io = KernelSgIo());

    scsi::Result Execute(const scsi::Command& command) override;

private:
    int fd_;
    SgIo& io_;
};

// Host (adapter) and driver status names as the kernel defines them, for
// reports: "DID_NO_CONNECT", "DRIVER_TIMEOUT"; "unknown" otherwise.
const char* HostStatusName(unsigned status);
const char* DriverStatusName(unsigned status);
