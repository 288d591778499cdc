#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>

namespace tavlo::storesim {

// The demo store's card key pair and its charges. A terminal of the demo encrypts the card
// fields of its payments with the public half (which the server hands it with a key-mismatch
// answer); the server decrypts them with the private half and charges the card through a
// Larch-style gateway (form-encoded requests at "<gateway>/capture", XML replies).
class CardCharges {
public:
    // Base64 of the DER SubjectPublicKeyInfo of the demo key, as terminals install it.
    static const std::string& publicKey();
    // A Base64 field encrypted with the demo key (PKCS #1 v1.5), decrypted; nil when it is not.
    static std::optional<std::string> decrypt(const std::string& base64);

    struct Outcome {
        bool approved = false;
        std::string result;    // the gateway's Result code ("" when it did not answer)
        std::string text;      // the gateway's own words for a decline or a failure
        std::string approval;  // AuthCode
        std::string reference; // PNRef
    };

    CardCharges(std::string gatewayUrl, std::string user, std::string password);
    // Charges one card payment of the order document (the `payment` element, its card fields
    // encrypted with the demo key), for its sub-total, tip and gratuity.
    Outcome charge(xmlDocPtr doc, xmlNodePtr payment, const std::string& orderName) const;
    // Settles the gateway's open batch (a batch with nothing in it counts as settled).
    Outcome settle() const;

private:
    Outcome post(const std::string& body) const;

    std::string gatewayUrl_, user_, password_;
};

} // namespace tavlo::storesim
