#include "browser/chromium_crypto.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <memory>

#include "foundation/ascii.h"

namespace tw {
namespace {

constexpr std::string_view kSalt = "saltysalt";
constexpr std::string_view kBuiltInPassword = "peanuts";
constexpr int kIterations = 1;
constexpr size_t kBlock = 16;
constexpr size_t kHostHashBytes = SHA256_DIGEST_LENGTH;
constexpr std::string_view kV10 = "v10";
constexpr std::string_view kV11 = "v11";

std::optional<std::string> DecryptWith(std::string_view cipher_text, const ChromiumKey& key) {
  if (cipher_text.empty() || cipher_text.size() % kBlock != 0) return std::nullopt;
  std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> context(EVP_CIPHER_CTX_new(),
                                                                     EVP_CIPHER_CTX_free);
  if (!context) return std::nullopt;
  unsigned char iv[kBlock];
  std::fill(std::begin(iv), std::end(iv), ' ');
  if (EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv) != 1) {
    return std::nullopt;
  }
  std::string plain(cipher_text.size() + kBlock, '\0');
  int written = 0;
  int last = 0;
  // The final call checks the padding: a wrong key almost always fails here.
  if (EVP_DecryptUpdate(context.get(), reinterpret_cast<unsigned char*>(plain.data()), &written,
                        reinterpret_cast<const unsigned char*>(cipher_text.data()),
                        static_cast<int>(cipher_text.size())) != 1 ||
      EVP_DecryptFinal_ex(context.get(), reinterpret_cast<unsigned char*>(plain.data()) + written,
                          &last) != 1) {
    return std::nullopt;
  }
  plain.resize(static_cast<size_t>(written + last));
  return plain;
}

// The value without the host hash that newer databases put first, when it is that host's.
std::optional<std::string> CheckPlain(std::string plain, std::string_view host, bool host_hashed) {
  if (!host_hashed) {
    if (HasControlCharacter(plain)) return std::nullopt;
    return plain;
  }
  if (plain.size() < kHostHashBytes) return std::nullopt;
  unsigned char digest[kHostHashBytes];
  SHA256(reinterpret_cast<const unsigned char*>(host.data()), host.size(), digest);
  if (plain.compare(0, kHostHashBytes, reinterpret_cast<const char*>(digest), kHostHashBytes) !=
      0) {
    return std::nullopt;
  }
  return plain.substr(kHostHashBytes);
}

}  // namespace

ChromiumKey DeriveChromiumKey(std::string_view password) {
  ChromiumKey key{};
  PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                         reinterpret_cast<const unsigned char*>(kSalt.data()),
                         static_cast<int>(kSalt.size()), kIterations, static_cast<int>(key.size()),
                         key.data());
  return key;
}

ChromiumKeys MakeChromiumKeys(const std::optional<std::string>& secret_password) {
  ChromiumKeys keys{DeriveChromiumKey(kBuiltInPassword), {}};
  if (secret_password) keys.v11.push_back(DeriveChromiumKey(*secret_password));
  keys.v11.push_back(DeriveChromiumKey(""));
  return keys;
}

ChromiumCipher CipherOf(std::string_view encrypted_value) {
  if (encrypted_value.empty()) return ChromiumCipher::kNone;
  if (encrypted_value.starts_with(kV10)) return ChromiumCipher::kV10;
  if (encrypted_value.starts_with(kV11)) return ChromiumCipher::kV11;
  return ChromiumCipher::kUnknown;
}

std::optional<std::string> DecryptChromiumValue(std::string_view encrypted_value,
                                                const ChromiumKeys& keys, std::string_view host,
                                                bool host_hashed) {
  const ChromiumCipher cipher = CipherOf(encrypted_value);
  const std::string_view body = encrypted_value.substr(std::min<size_t>(3, encrypted_value.size()));
  if (cipher == ChromiumCipher::kV10) {
    if (auto plain = DecryptWith(body, keys.v10))
      return CheckPlain(std::move(*plain), host, host_hashed);
    return std::nullopt;
  }
  if (cipher != ChromiumCipher::kV11) return std::nullopt;
  for (const ChromiumKey& key : keys.v11) {
    std::optional<std::string> plain = DecryptWith(body, key);
    if (!plain) continue;
    if (auto value = CheckPlain(std::move(*plain), host, host_hashed)) return value;
  }
  return std::nullopt;
}

}  // namespace tw
