#include "core/session/IDBroker.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/security/HardwareAddress.h"
#include "platform/security/Md5.h"

#include <cstdio>
#include <limits>
#include <random>

namespace tavlo {

namespace {

std::mutex instanceMutex;
std::unique_ptr<IDBroker> instance;
std::mutex deviceIdMutex;

constexpr size_t kMaxIdLength = 32;

// The largest counter of that many digits: 9 for 0 or 1 digit, at most the largest 32-bit number.
int64_t largestCounter(int digits) {
    if (digits <= 1) return 9;
    if (digits >= 10) return std::numeric_limits<int32_t>::max();
    int64_t nines = 0;
    for (int i = 0; i < digits; ++i) nines = nines * 10 + 9;
    return nines;
}

// A random UUID text, for a device whose hardware address cannot be read.
std::string randomIdentifier() {
    std::random_device device;
    std::uniform_int_distribution<int> byte(0, 255);
    unsigned char b[16];
    for (unsigned char& c : b) c = static_cast<unsigned char>(byte(device));
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

} // namespace

IDBroker& IDBroker::initWithMOC(std::shared_ptr<ObjectContext> context) {
    std::lock_guard lock(instanceMutex);
    if (!instance) instance = std::make_unique<IDBroker>(std::move(context));
    return *instance;
}

IDBroker& IDBroker::getInstance() {
    std::lock_guard lock(instanceMutex);
    if (!instance) throw InconsistencyError::notInitialised(kClassName, "getInstance");
    return *instance;
}

void IDBroker::releaseInstance() {
    std::lock_guard lock(instanceMutex);
    instance.reset();
}

IDBroker::IDBroker(std::shared_ptr<ObjectContext> context) : context_(std::move(context)) {
    std::lock_guard lock(mutex_);
    ManagedObjectPtr terminal = DBHelper::getTerminal(deviceIdentifier(), context_.get());
    std::optional<std::string> number = terminal ? terminal->text("number") : std::nullopt;
    terminalNumber_ = number ? *number : "Unknown";
}

std::shared_ptr<ObjectContext> IDBroker::managedObjectContext() const {
    std::lock_guard lock(mutex_);
    return context_;
}

void IDBroker::setManagedObjectContext(std::shared_ptr<ObjectContext> context) {
    std::lock_guard lock(mutex_);
    context_ = std::move(context);
}

std::string IDBroker::getNextId(const std::string& name, int maxDigits, bool useTime) {
    const int64_t largest = largestCounter(maxDigits);
    int64_t counter = 1;
    {
        std::lock_guard lock(mutex_);
        ObjectContext* context = context_.get();
        if (context) {
            ManagedObjectPtr row = DBHelper::getObject("StoreParam", "name == %@", name, context);
            int64_t stored = 0;
            if (row) {
                stored = longLongValue(row->text("value"));
            } else {
                row = context->insert("StoreParam");
                row->setValue("name", name);
            }
            // A counter left above the largest by a wider setting keeps counting up.
            counter = stored == largest ? 1 : stored + 1;
            row->setValue("value", format("%ld", counter));
            context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
            Error error;
            if (!context->save(&error)) {
                TAVLO_LOG_MAIL("Unable to save new remote ID: %@", error.localizedDescription());
                AlertSink::show(localized("Error"), error.localizedDescription(), localized("Ok"));
            }
        }
    }
    std::string digits = std::to_string(counter);
    if (maxDigits > 0 && digits.size() < static_cast<size_t>(maxDigits))
        digits.insert(0, static_cast<size_t>(maxDigits) - digits.size(), '0');
    std::string id = useTime ? format("%@%ld%@", terminalNumber_, Clock::current().now().wholeSeconds(), digits)
                             : terminalNumber_ + digits;
    if (id.size() > kMaxIdLength) {
        TAVLO_LOG_MAIL("Unexpectedly long remoteId generated (%@)", id);
        id.resize(kMaxIdLength - 1);
    }
    return id;
}

std::string IDBroker::generateQSNum() {
    const int digits = Parameters::number(Parameter::QuickSaleMaxDigits, managedObjectContext().get());
    return getNextId(Parameter::QuickSaleSequence, digits, false);
}

std::optional<std::string> IDBroker::batchIdParameter() {
    return Parameters::text(Parameter::CurrentBatchId, managedObjectContext().get());
}

std::optional<std::string> IDBroker::currentBatchId() {
    ObjectContext* context = managedObjectContext().get();
    if (ManagedObjectPtr open = DBHelper::getObject("StoreBatch", "closedOn == nil", {}, context))
        return open->text("remoteId");
    return batchIdParameter();
}

std::optional<std::string> IDBroker::lastBatchId() {
    std::vector<ManagedObjectPtr> latest =
        DBHelper::getObjects("StoreBatch", std::nullopt, {}, "openedOn", false, 1, managedObjectContext().get());
    if (!latest.empty()) return latest.front()->text("remoteId");
    std::optional<std::string> current = batchIdParameter();
    if (!current) return std::nullopt;
    return format("%ld", longLongValue(*current) - 1);
}

std::string IDBroker::generateRemoteIdBatch() {
    std::optional<std::string> last = lastBatchId();
    if (!last) TAVLO_LOG_MAIL("Last batch ID not found, generating batch ID");
    const std::string next = format("%ld", last ? longLongValue(*last) + 1 : 1);
    Parameters::save(Parameter::CurrentBatchId, next, managedObjectContext().get());
    return next;
}

std::optional<std::string> IDBroker::uniqueDeviceIdentifier() {
    std::optional<std::string> address = HardwareAddress::primary();
    if (!address) return std::nullopt;
    return Md5::stringFromMD5(*address + kProgramIdentifier);
}

std::optional<std::string> IDBroker::uniqueGlobalDeviceIdentifier() {
    std::optional<std::string> address = HardwareAddress::primary();
    if (!address) return std::nullopt;
    return Md5::stringFromMD5(*address);
}

std::string IDBroker::deviceIdentifier() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (auto saved = defaults.stringForKey(kDeviceIdKey)) return *saved;
    std::lock_guard lock(deviceIdMutex);
    if (auto saved = defaults.stringForKey(kDeviceIdKey)) return *saved; // made meanwhile
    std::optional<std::string> first = uniqueDeviceIdentifier();
    std::optional<std::string> second = uniqueDeviceIdentifier();
    if (first && second && *first != *second) {
        for (const char* line : {"", "************", "############", ""}) TAVLO_LOG(line);
        TAVLO_LOG("Using UDID from a real customer!!!");
        TAVLO_LOG("App dir: %@", documentsDirectory().string());
        for (const char* line : {"", "************", "############", ""}) TAVLO_LOG(line);
    }
    // Without a readable address every such device would get the same id (and so the same
    // terminal); a random one, kept like the other, stays unique.
    std::string id = first ? *first : randomIdentifier();
    defaults.setObject(UserDefaults::Value(id), kDeviceIdKey);
    defaults.synchronize();
    TAVLO_LOG("Saved UUID: %@", id);
    return id;
}

} // namespace tavlo
