#include "device/win/aspi_transport.h"

#include <windows.h>

#include <cstring>

#include "device/win/drive_table.h"
#include "device/win/scsi_records.h"

AspiTransport::AspiTransport(std::uint8_t haId, std::uint8_t targetId)
    : haId_(haId), targetId_(targetId)
{
}

AspiTransport::AspiTransport(const DriveEntry& drive) : AspiTransport(drive.byHaId, drive.byTargetId)
{
}

scsi::Result AspiTransport::Execute(const scsi::Command& command)
{
    scsi::Result result;
    scsi::SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    std::memcpy(srb.CDBByte, command.cdb,
                command.cdbLength < sizeof srb.CDBByte ? command.cdbLength : sizeof srb.CDBByte);
    srb.SRB_Cmd = scsi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = haId_;
    srb.SRB_Flags = command.direction == scsi::Direction::Out  ? scsi::SRB_DIR_OUT
                    : command.direction == scsi::Direction::In ? scsi::SRB_DIR_IN
                                                               : 0;
    srb.SRB_Target = targetId_;
    srb.SRB_BufLen = command.dataLength;
    srb.SRB_BufPointer = command.data;
    srb.SRB_SenseLen = scsi::SENSE_LEN;
    srb.SRB_CDBLen = command.cdbLength;

    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done) {
        result.systemError = ::GetLastError();
        return result;
    }
    srb.SRB_Flags |= scsi::SRB_EVENT_NOTIFY;
    srb.SRB_PostProc = done;
    ::ResetEvent(done);

    if (pfnSendASPI32Command(&srb) == scsi::SS_PENDING) {
        if (::WaitForSingleObject(done, INFINITE) == WAIT_OBJECT_0)
            ::ResetEvent(done);
    }
    ::CloseHandle(done);

    if (srb.SRB_Status == scsi::SS_COMP) {
        result.outcome = scsi::Outcome::Good;
        return result;
    }
    // The record's sense area comes back whatever went wrong.
    std::memcpy(result.sense, srb.SenseArea, sizeof srb.SenseArea);
    result.senseLength = sizeof srb.SenseArea;
    result.decoded = scsi::NormaliseSense(result.sense, sizeof srb.SenseArea);
    result.status = srb.SRB_TargStat;
    if (srb.SRB_HaStat != 0) {
        result.outcome = scsi::Outcome::TransportFailure;
        result.hostStatus = srb.SRB_HaStat;
        result.timedOut = srb.SRB_HaStat == scsi::HASTAT_TIMEOUT || srb.SRB_HaStat == scsi::HASTAT_COMMAND_TIMEOUT;
        // Nothing answers the selection at that target any more.
        result.deviceGone = srb.SRB_HaStat == scsi::HASTAT_SEL_TO;
    } else if (srb.SRB_TargStat == scsi::kStatusCheckCondition) {
        result.outcome = scsi::Outcome::CheckCondition;
    } else if (srb.SRB_TargStat != scsi::kStatusGood) {
        result.outcome = scsi::Outcome::OtherStatus;
    } else {
        // The manager refused the request itself (no such adapter or device).
        result.systemError = srb.SRB_Status;
        result.deviceGone = srb.SRB_Status == scsi::SS_NO_DEVICE;
    }
    return result;
}
