#pragma once

#include "readers/jackmag/AudioModulation.h"

#include <string>

namespace tavlo::jackmag {

// The reader's command frames: STX 0x02, the command bytes, ETX 0x03, and an LRC byte that is
// the XOR of every byte before it.
namespace frames {
inline const std::string kGetVersion = "0252220371";
inline const std::string kGetSettings = "02521F034C";
inline const std::string kEnableTDES = "02534C0131032E";
inline const std::string kEnableAES = "02534C0132032D";
inline const std::string kDefaultGeneralSettings = "025318034A";
inline const std::string kGetSerialNumber = "02524E031D";
inline const std::string kGetNextKSN = "0252510302";
inline const std::string kEnableErrNotification = "0253190134037E";
inline const std::string kDisableErrNotification = "0253190130037A";
inline const std::string kEnableExpDate = "02535001310332";
inline const std::string kDisableExpDate = "02535001300333";
inline const std::string kEnableForceEncryption = "025384013303E4";
inline const std::string kDisableForceEncryption = "025384013003E7";
inline const std::string kResetBaudRate = "02534101350327";
inline const std::string kGetAuthentication = "02528003D3";
// Asks the reader to answer on its audio channel; a reader in its normal mode answers 06 'V'.
inline const std::string kSetChannel = "02534301010311";
} // namespace frames

// XOR of the bytes.
uint8_t lrc(const Bytes& bytes);
// 0x02, the command bytes, 0x03, then the LRC of all of them.
Bytes commandFrame(const Bytes& command);
// The set-PrePAN frame for n: 02 53 49 01 n 03 (n XOR 0x1A).
Bytes setPrePANFrame(int n);

} // namespace tavlo::jackmag
