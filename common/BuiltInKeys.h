#pragma once
// The two built-in 90-byte keys shared by the server and the clients. They are
// computed at run time by a fixed generator, so the bytes never appear whole in
// the program; changing the generator would make existing users files and
// certificates unreadable.
#include <array>
#include <cstddef>

constexpr std::size_t kBuiltInKeyLength = 90;
using BuiltInKey = std::array<unsigned char, kBuiltInKeyLength>;

// The server settings' key: key 0 of the server application's key list.
BuiltInKey SettingsBuiltInKey();
// The key of the users file and of certificates: the server's key 1 and the
// clients' key 0, with which they decode imported certificates.
BuiltInKey CertificateBuiltInKey();
