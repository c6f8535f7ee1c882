#include "plinthar/text/short_hash.hpp"

#include <memory>
#include <string>

#include <openssl/evp.h>

#include "plinthar/error.hpp"
#include "plinthar/text/ascii.hpp"

namespace plinthar::text {
namespace {

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

struct DigestDeleter {
  void operator()(EVP_MD* digest) const { EVP_MD_free(digest); }
};

// MD5 looked up once: naming it by EVP_md5() at every digest makes OpenSSL 3 look the
// implementation up again each time, which costs about as much as hashing a short text.
// A fetched algorithm is only read by the digests that use it, so threads share it.
const EVP_MD* md5() {
  static const std::unique_ptr<EVP_MD, DigestDeleter> fetched(
      EVP_MD_fetch(nullptr, "MD5", nullptr));
  return fetched ? fetched.get() : EVP_md5();
}

}  // namespace

std::string short_hash(std::string_view text) {
  // A digest context holds the state of one digest at a time: one per thread.
  thread_local const std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), md5(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), text.data(), text.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &digest_length) != 1) {
    throw Error("MD5 digest failed");
  }
  std::string out(8, '0');
  for (std::size_t i = 0; i < 4; ++i) {
    out[2 * i] = HEX_DIGITS[digest[i] >> 4];
    out[2 * i + 1] = HEX_DIGITS[digest[i] & 0x0F];
  }
  return out;
}

}  // namespace plinthar::text
