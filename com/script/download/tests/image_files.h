// Software image files for the download tests, made the way people make
// them: srec_cat for every S-record form, gzip for compressed copies, and
// hand-written lines for the broken ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vx::download::testing {

inline std::vector<uint8_t> randomBytes(std::size_t size, uint32_t seed = 7) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An S-record file of `data` at `address` made by srec_cat, with `header`
// as its S0 text, `addressBytes` 2, 3 or 4 (S1, S2 or S3 data) and a
// non-zero start address. Empty when srec_cat failed.
inline std::string makeImage(const std::string& directory, const std::string& name, const std::vector<uint8_t>& data,
                             const std::string& header, int addressBytes = 4, uint32_t address = 0x1000) {
  const std::string binary = directory + "/" + name + ".bin";
  const std::string image = directory + "/" + name;
  writeFile(binary, data);
  char command[1024];
  std::snprintf(command, sizeof command,
                "srec_cat '%s' -binary -offset 0x%X -header '%s' -execution-start-address 0x%X "
                "-o '%s' -motorola -address-length=%d",
                binary.c_str(), address, header.c_str(), address, image.c_str(), addressBytes);
  if (std::system(command) != 0) return {};
  std::remove(binary.c_str());
  return image;
}

// A gzip-compressed copy of `path`, beside it.
inline std::string gzipCopy(const std::string& path) {
  const std::string compressed = path + ".gz";
  if (std::system(("gzip -c '" + path + "' > '" + compressed + "'").c_str()) != 0) return {};
  return compressed;
}

}  // namespace vx::download::testing
