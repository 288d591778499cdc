#include "sync/exchange/CardFieldEncryptor.h"

#include "payments/Encryption.h"

namespace tavlo {

namespace {

class ServerKey final : public CardFieldEncryptor {
public:
    std::optional<std::string> publicKey() const override { return Encryption::getInstance().getPublicKey(); }
    std::optional<std::vector<uint8_t>> encrypt(std::string_view text) override {
        return Encryption::getInstance().encryptWithPublicKey(text);
    }
};

} // namespace

CardFieldEncryptor& CardFieldEncryptor::serverKey() {
    static ServerKey key;
    return key;
}

} // namespace tavlo
