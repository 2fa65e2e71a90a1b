// How far a run has got, as far as a stop request is concerned. The engine
// moves it forward in a place its caller gives it; the caller reads it to
// decide whether a stop request can still be honoured, since after the last
// block nothing checks it.
#pragma once

#include <atomic>
#include <cstdint>

enum class RunStage : std::uint8_t {
    Idle,      // no run, or a run not yet loading
    Loading,   // reading the image
    Transfer,  // sending blocks; a stop request is checked before each one
    Committed, // header, save and after: a stop request changes nothing
    Programming, // the save was accepted: the drive is writing its flash
};

