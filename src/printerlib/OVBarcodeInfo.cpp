#include "printerlib/OVBarcodeInfo.h"

namespace tavlo::printerlib {

bool OVBarcodeInfo::addObjectWithBarcode(long barNumber, std::string name, bool support) {
    bars_.push_back({barNumber, std::move(name), support});
    return true;
}

bool OVBarcodeInfo::clearObject() {
    bars_.clear();
    return true;
}

} // namespace tavlo::printerlib
