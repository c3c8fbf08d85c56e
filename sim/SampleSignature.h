#pragma once
#include <string>
#include <vector>

// Signs sample distributions for the tests in minisign's format (Ed25519 over the file's
// BLAKE2b-512 hash), with a key made for the purpose: its public key goes to DIR/maker.pub, each
// signature beside its file (FILE.minisig). minisign itself checks what this writes.
namespace samplesignature {

// Makes a key, writes DIR/maker.pub and signs each of files (paths) with comment as the trusted
// comment; false with error set.
bool signFiles(const std::string& dir, const std::vector<std::string>& files, const std::string& comment,
               std::string& error);

}  // namespace samplesignature
