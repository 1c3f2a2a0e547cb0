#include "app/uCrypt.h"

#include <crypto++/base64.h>
#include <crypto++/blowfish.h>
#include <crypto++/filters.h>
#include <crypto++/modes.h>
#include <crypto++/sha.h>

#include <array>

#include "platform/TextCodec.h"

namespace movrano {

namespace {

using CryptoPP::byte;
using CryptoPP::SecByteBlock;

SecByteBlock Utf16LeBytes(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  SecByteBlock bytes(units.size() * 2);
  WriteUtf16Bytes(units, ByteOrder::LittleEndian, bytes.data());
  return bytes;
}

std::string FromUtf16LeBytes(const byte* bytes, size_t units) {
  return Utf16ToUtf8(Utf16Units(std::span(bytes, 2 * units), ByteOrder::LittleEndian));
}

// The key schedule and the initialisation vector of one call; the secure
// blocks and the cipher objects wipe themselves when they go.
class CipherKey {
 public:
  explicit CipherKey(std::string_view keyText) : key_(CryptoPP::SHA1::DIGESTSIZE) {
    const SecByteBlock keyBytes = Utf16LeBytes(keyText);
    CryptoPP::SHA1().CalculateDigest(key_, keyBytes, keyBytes.size());
    // The initialisation vector is the encryption of the all-zero block.
    const std::array<byte, CryptoPP::Blowfish::BLOCKSIZE> zero{};
    CryptoPP::Blowfish::Encryption(key_, key_.size()).ProcessBlock(zero.data(), iv_);
  }

  // In place, with a feedback of one byte.
  void encrypt(SecByteBlock& data, size_t size) const { run<Encryption>(data, size); }
  void decrypt(SecByteBlock& data, size_t size) const { run<Decryption>(data, size); }

 private:
  using Encryption = CryptoPP::CFB_Mode<CryptoPP::Blowfish>::Encryption;
  using Decryption = CryptoPP::CFB_Mode<CryptoPP::Blowfish>::Decryption;

  template <typename Cipher>
  void run(SecByteBlock& data, size_t size) const {
    if (size == 0) return;
    Cipher cipher(key_, key_.size(), iv_, 1);
    cipher.ProcessData(data, data, size);
  }

  SecByteBlock key_;
  CryptoPP::FixedSizeSecBlock<byte, CryptoPP::Blowfish::BLOCKSIZE> iv_;
};

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;  // not of the alphabet: decoded as a zero digit, never an error
}

// Whole groups of four characters; "=" ends a group's data and what
// follows the last whole group is ignored.
SecByteBlock DecodeBase64Groups(std::string_view text) {
  SecByteBlock bytes(text.size() / 4 * 3);
  size_t count = 0;
  for (size_t group = 0; group + 4 <= text.size(); group += 4) {
    uint32_t bits = 0;
    int digits = 0;
    while (digits < 4 && text[group + digits] != '=') {
      bits = (bits << 6) | static_cast<uint32_t>(Base64Value(text[group + digits]));
      ++digits;
    }
    bits <<= 6 * (4 - digits);
    for (int i = 0; i < digits - 1; ++i)
      bytes[count++] = static_cast<byte>(bits >> (16 - 8 * i));
  }
  bytes.resize(count);
  return bytes;
}

}  // namespace

std::string EncryptText(std::string_view text, std::string_view key) {
  SecByteBlock data = Utf16LeBytes(text);
  CipherKey(key).encrypt(data, data.size());
  std::string encoded;
  CryptoPP::StringSource(data, data.size(), true,
                         new CryptoPP::Base64Encoder(new CryptoPP::StringSink(encoded), false));
  return encoded;
}

std::string DecryptText(std::string_view text, std::string_view key) {
  SecByteBlock data = DecodeBase64Groups(text);
  const size_t units = data.size() / 2;
  CipherKey(key).decrypt(data, units * 2);
  return FromUtf16LeBytes(data, units);
}

}  // namespace movrano
