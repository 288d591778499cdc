#include "sync/storeload/StoreLoadReader.h"

#include "core/util/TavloLog.h"
#include "xml/XmlChildStream.h"
#include "xml/XmlHelper.h"

#include <unordered_set>

namespace tavlo {

xmlNodePtr StoreLoadReader::next(xmlNodePtr node) { return XmlChildStream::nextElement(node); }

bool StoreLoadReader::isNamed(xmlNodePtr node, std::string_view name) { return XmlHelper::isElementNamed(node, name); }

void StoreLoadReader::removeObjectsNotReceived(xmlNodePtr parent, std::string_view entity, std::string_view idField) {
    std::vector<std::string> listed = XmlFields(parent, doc_).runTexts(idField);
    std::unordered_set<std::string> kept(listed.begin(), listed.end());
    for (const ManagedObjectPtr& row : context_.fetchAll(entity)) {
        std::optional<std::string> id = row->text(idField);
        if (!id || !kept.count(*id)) context_.deleteObject(row);
    }
}

void StoreLoadReader::flushWhenDue() {
    // Objects per flush: enough that a flush costs little beside its rows, few enough that they
    // weigh little beside the reply. A packed row weighs a fraction of an object.
    constexpr size_t kObjectsPerFlush = 2048, kPackedRowsPerFlush = 4 * kObjectsPerFlush;
    if (flushFailure_ || !context_.isWriting() ||
        (context_.changedCount() < kObjectsPerFlush && context_.heldInsertedCount() < kPackedRowsPerFlush))
        return;
    Error error;
    if (!context_.flush(&error)) flushFailure_ = error;
}

ManagedObjectPtr StoreLoadReader::rowFor(xmlNodePtr element, std::string_view entity, std::string_view idAttribute,
                                         bool* inserted) {
    flushWhenDue();
    std::optional<std::string> id = XmlFields(element, doc_).attribute("id");
    if (!id) {
        TAVLO_LOG("Skipping %s element without an id", reinterpret_cast<const char*>(element->name));
        return nullptr;
    }
    return index_.findOrInsert(entity, {idAttribute}, {*id}, inserted);
}

std::optional<std::string> StoreLoadReader::newHeldRowId(xmlNodePtr element, const EntityDescription& entity,
                                                         std::string_view idAttribute) {
    if (!context_.holdsInserts(entity)) return std::nullopt;
    flushWhenDue();
    std::optional<std::string> id = XmlFields(element, doc_).attribute("id");
    if (!id || index_.findID(entity.name(), idAttribute, *id).isValid()) return std::nullopt;
    return id;
}

void StoreLoadReader::associate(const ManagedObjectPtr& owner, std::string_view relation, std::string_view targetEntity,
                                std::string_view targetId, const std::vector<std::string>& ids, bool deleteDropped,
                                const std::function<void(const std::string& id)>& missing) {
    std::unordered_set<std::string> listed(ids.begin(), ids.end());
    for (const ManagedObjectPtr& member : owner->toMany(relation)) {
        std::optional<std::string> id = member->text(targetId);
        if (id && listed.count(*id)) continue;
        owner->removeFrom(relation, member);
        if (deleteDropped) context_.deleteObject(member);
    }
    for (const std::string& id : ids) {
        ManagedObjectPtr target = index_.find(targetEntity, targetId, id);
        if (!target) missing(id);
        else owner->addTo(relation, target);
    }
}

std::string StoreLoadReader::shortName(const std::optional<std::string>& name) {
    if (!name || name->empty()) return " ";
    // Characters, not bytes: a cut never splits a UTF-8 sequence.
    size_t characters = 0, cut = std::string::npos;
    for (size_t i = 0; i < name->size(); ++i) {
        if ((static_cast<unsigned char>((*name)[i]) & 0xC0) == 0x80) continue;
        if (characters == 31) cut = i;
        ++characters;
    }
    return characters >= 33 ? name->substr(0, cut) : *name;
}

} // namespace tavlo
