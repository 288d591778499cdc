#pragma once

#include <string>
#include <vector>

namespace tavlo::printerlib {

// One entry of a model's barcode support table.
struct OVBarcode {
    long barNumber = 0; // symbology number
    std::string name;   // "UPC-A", "QRCode-Model2", ...
    bool support = false;
};

// A model's barcode support table, in the order the entries were added (a number may appear
// more than once). The facade hands it to the application.
class OVBarcodeInfo {
public:
    bool addObjectWithBarcode(long barNumber, std::string name, bool support);
    bool clearObject();
    const std::vector<OVBarcode>& getSuppotList() const { return bars_; }

private:
    std::vector<OVBarcode> bars_;
};

} // namespace tavlo::printerlib
