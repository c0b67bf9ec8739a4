#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class COtpToken;

// The token descriptor record: the transport form of one token, RC4-enciphered, from the token
// pack file or from a server download. Records are "{", fixed fields, length-prefixed strings, an
// icon, and a closing "}"; numbers are big-endian. A damaged record gives no token.

// "<product folder>/TokenDescriptor.tok".
std::string descriptorFilePath();

// The whole token pack file, or std::nullopt when it cannot be opened or read, or is larger than
// any token pack can be (1 MiB). Nothing changes on disk.
std::optional<std::vector<std::uint8_t>> readDescriptorFile();

// The token of a token pack file's bytes. The RC4 key is stored in the file (key flag not 0) or is
// the MD5 of `code` in the ANSI code page (key flag 0; an empty code gives no token at once).
// Deciphers `bytes` in place, so after a failed attempt they no longer hold the file's contents.
// The file stays: the caller deletes it once the token is safely stored.
std::shared_ptr<COtpToken> decodeDescriptorFile(std::span<std::uint8_t> bytes, std::u16string_view code);

// Removes the token pack file (a one-shot carrier).
void deleteDescriptorFile();

// The token of a server secret: RC4 under the MD5 of the 8-bit `code`, then parsed. `bytes` are
// left unchanged.
std::shared_ptr<COtpToken> decryptDescriptor(std::string_view code, std::span<const std::uint8_t> bytes);

// A new token from a deciphered record, or nullptr unless the record starts with "{", ends with
// "}" and every field lies within it. An icon in the record is written to a new file in the
// product folder (named by a random UUID, ".ico"); `iconFile` then holds its path, and stays
// empty when the file cannot be written.
std::shared_ptr<COtpToken> parseDescriptorRecord(std::span<const std::uint8_t> record);
