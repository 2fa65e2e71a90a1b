// The kernel's side of SG_IO, played by virtual drives: each file descriptor
// is a drive. The request is decoded as the kernel decodes sg_io_hdr, and the
// answer written back the way the kernel writes it, so that the SG_IO
// transport and everything above it run against the virtual drive natively.
#pragma once

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "device/linux/sg_io_transport.h"
#include "emu/virtual_drive.h"

class VirtualSgIo : public SgIo {
public:
    struct Request {
        int fd;
        int direction;
        std::vector<std::uint8_t> cdb;
        unsigned dataLength, timeout, senseRoom;
    };

    void Attach(int fd, VirtualDrive& drive) { drives_[fd] = &drive; }
    // From request `index` (0-based, all descriptors) on, the ioctl fails with `error`.
    void FailFrom(std::size_t index, int error) { failFrom_ = index; error_ = error; }
    // Host status for the drive's transport failures (the adapter's code).
    unsigned transportHostStatus = 0x07; // DID_ERROR
    // Called with each request before it is answered.
    std::function<void(std::size_t index)> onRequest;
    // The same with the request itself, on the thread of the run that sent it.
    std::function<void(int fd, const sg_io_hdr_t& request)> onSubmit;

    // Once the runs are over.
    const std::vector<Request>& Requests() const { return requests_; }

    // Several runs send at once, each to its own drive: the record of the
    // requests is shared, the drives are not.
    int Submit(int fd, sg_io_hdr_t& r) override
    {
        std::size_t index;
        {
            std::lock_guard<std::mutex> hold(*mutex_);
            index = requests_.size();
            requests_.push_back({fd, r.dxfer_direction, std::vector<std::uint8_t>(r.cmdp, r.cmdp + r.cmd_len),
                                 r.dxfer_len, r.timeout, r.mx_sb_len});
        }
        if (onRequest)
            onRequest(index);
        if (onSubmit)
            onSubmit(fd, r);
        if (index >= failFrom_) {
            errno = error_;
            return -1;
        }
        auto drive = drives_.find(fd);
        if (r.interface_id != 'S' || drive == drives_.end()) {
            errno = drive == drives_.end() ? EBADF : ENOSYS;
            return -1;
        }
        std::uint8_t sense[VirtualDrive::kSenseLength] = {};
        const TargetAnswer answer =
            drive->second->Execute(r.cmdp, r.cmd_len, r.dxfer_direction == SG_DXFER_TO_DEV,
                                   static_cast<std::uint8_t*>(r.dxferp), r.dxfer_len, sense, sizeof sense);
        r.status = r.masked_status = 0;
        r.host_status = r.driver_status = 0;
        r.sb_len_wr = 0;
        r.resid = 0;
        if (answer == TargetAnswer::TransportFailure) {
            r.host_status = static_cast<unsigned short>(transportHostStatus);
        } else if (answer == TargetAnswer::CheckCondition) {
            r.status = 0x02;
            r.masked_status = 0x01;
            r.driver_status = 0x08; // DRIVER_SENSE
            r.sb_len_wr = static_cast<unsigned char>(std::min<std::size_t>(sizeof sense, r.mx_sb_len));
            std::memcpy(r.sbp, sense, r.sb_len_wr);
        }
        return 0;
    }

private:
    std::unique_ptr<std::mutex> mutex_ = std::make_unique<std::mutex>(); // movable with the rest
    std::map<int, VirtualDrive*> drives_;
    std::vector<Request> requests_;
    std::size_t failFrom_ = static_cast<std::size_t>(-1);
    int error_ = 0;
};
