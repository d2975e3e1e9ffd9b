// The encryption of cookie values by Chromium-based browsers on Linux.
//
// A value marked "v10" or "v11" is AES-128-CBC with PKCS#7 padding and an IV of sixteen spaces;
// the key is PBKDF2-HMAC-SHA1 of a password with the salt "saltysalt" and one iteration. "v10"
// values use the browser's built-in password, "peanuts", which it falls back to where the
// desktop has no secret store; "v11" values use the password the browser keeps in the secret
// store (or an empty one, when the store failed the browser as it wrote). Databases of version 24
// and later put the SHA-256 of the cookie's host before the value, which tells a right key from a
// wrong one for certain.
//
// Threads: any; pure functions of their input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

using ChromiumKey = std::array<uint8_t, 16>;

ChromiumKey DeriveChromiumKey(std::string_view password);

struct ChromiumKeys {
  ChromiumKey v10;
  std::vector<ChromiumKey> v11;  // tried in order
};

// The v10 key, and v11 keys from the secret store's password (when there is one) and the empty
// password.
ChromiumKeys MakeChromiumKeys(const std::optional<std::string>& secret_password);

// Whether a stored value is encrypted in a way this reader knows, and which.
enum class ChromiumCipher { kNone, kV10, kV11, kUnknown };
ChromiumCipher CipherOf(std::string_view encrypted_value);

// The value, or nullopt when no key opens it: bad padding, a host hash that does not match
// (`host_hashed`, databases of version 24 on), or, without a hash, control characters that no
// cookie value holds.
std::optional<std::string> DecryptChromiumValue(std::string_view encrypted_value,
                                                const ChromiumKeys& keys, std::string_view host,
                                                bool host_hashed);

}  // namespace tw
