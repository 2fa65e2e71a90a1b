// A drive's transport with an eye on what went through it: the last command
// that did not end GOOD, and how the save command fared, so that the program
// can tell a user in words what failed and whether the drive took the save.
#pragma once

#include <cstdint>

#include "device/scsi_transport.h"

class WatchedTransport : public scsi::Transport {
public:
    explicit WatchedTransport(scsi::Transport& inner) : inner_(inner) {}

    scsi::Result Execute(const scsi::Command& command) override;

    enum class Save { NotSent, Refused, Accepted, Unknown };

    // The last command that did not end GOOD, and its result.
    bool HasFailure() const { return hasFailure_; }
    const scsi::Result& LastFailure() const { return lastFailure_; }
    Save SaveState() const { return save_; }
    // Whether any WRITE BUFFER went out: before that, the drive is untouched.
    bool WroteAnything() const { return writes_ != 0; }

private:
    scsi::Transport& inner_;
    bool hasFailure_ = false;
    scsi::Result lastFailure_;
    Save save_ = Save::NotSent;
    int writes_ = 0;
};
