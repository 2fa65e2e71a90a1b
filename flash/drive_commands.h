// The five commands an upgrade sends to a drive. Each answers true when the
// command completed and the sense key byte it left is 0.
#pragma once

#include <cstdint>

class CFlashEngine;

bool fgTestUnitReadyComplete(CFlashEngine& engine, std::uint8_t* sense);
// `data` receives the 36 bytes of standard INQUIRY data.
bool fgInquiryComplete(CFlashEngine& engine, std::uint8_t* data);
// Sends the 4096 bytes at the engine's current bank position to `offset`.
bool fgWriteOneFlashCmdData(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense);
// Sends the 32-byte header carrying the block sum.
bool fgWriteHeader(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense);
// Tells the drive to program what it has received.
bool fgSaveFlash(CFlashEngine& engine, std::uint8_t* sense);
