#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "sync/handlers/OperationAdapter.h"

namespace tavlo {

// Carries out the one command the store server left for this terminal (the Terminal row's
// `command`: a name, and after the first space a parameter), clears it, tells the server it was
// processed and mails the result to the support mailbox. Runs on the store handler's queue
// right after the store load.
class OperationTerminalCommand : public OperationAdapter {
public:
    // `url`: the store server's address, where the processed report goes.
    OperationTerminalCommand(std::string url, std::shared_ptr<ObjectStore> coordinator);

    void main() override;

    // "name parameter": split at the first space when something follows it; otherwise the whole
    // text is the name.
    static std::pair<std::string, std::optional<std::string>> splitCommand(const std::string& text);

    // The commands; each answers whether it did what was asked.
    bool emailFileList(const std::optional<std::string>& storeId, const std::optional<std::string>& password);
    // "File List:\n" and a line "path (size: n)\n" for each entry under the directory.
    static std::string directoryListing(const std::filesystem::path& directory, Error* error);
    bool emailOrderHandlerStatus(ObjectContext* context, const std::optional<std::string>& storeId,
                                 const std::optional<std::string>& password);
    bool emailBatches(ObjectContext* context, const std::optional<std::string>& storeId,
                      const std::optional<std::string>& password);
    bool reloadOrders();
    bool reloadStore(ObjectContext* context, const std::optional<std::string>& storeId,
                     const std::optional<std::string>& password);
    bool voidTransaction(ObjectContext* context, const std::optional<std::string>& param,
                         const std::optional<std::string>& storeId, const std::optional<std::string>& password);
    bool updateTransaction(ObjectContext* context, const std::optional<std::string>& param,
                           const std::optional<std::string>& storeId, const std::optional<std::string>& password);
    bool settleBatch(ObjectContext* context, const std::optional<std::string>& param,
                     const std::optional<std::string>& storeId, const std::optional<std::string>& password);
    static bool incrementLastBatchId(ObjectContext* context, const std::optional<std::string>& param);
    static bool incrementLastTransactionId(ObjectContext* context, const std::optional<std::string>& param);

    // Entries listed per directory in the file list mail, so that a crowded folder cannot make it
    // unbounded.
    static constexpr size_t kMaxListedEntries = 2000;

private:
    bool runCommand(ObjectContext* context, const std::string& name, const std::optional<std::string>& param,
                    const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                    const std::optional<std::string>& terminalId);
    void reportProcessed(ObjectContext* context, const std::string& name, const std::optional<std::string>& storeId,
                         const std::optional<std::string>& password, const std::optional<std::string>& terminalId);
    // Mails to the support mailbox; a failure is kept as this operation's error when `keepError`.
    bool mail(const std::string& subject, const std::string& body, const std::optional<std::string>& storeId,
              const std::optional<std::string>& password, bool keepError, Error* error = nullptr);

    std::string url_;
};

} // namespace tavlo
