// Finding the configuration area in a stub image through the PE section table. A blind search
// for the magic would also match the comparison constant in the stub's code.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ConfigArea {
  uint32_t offset = 0;  // file offset of the stored form
  uint32_t size = 0;    // bytes the section holds in the file
};

// The stored form's place, or a PackError naming `what` when the image is not a PE file or has
// no configuration section that holds a stored form.
ConfigArea FindConfigArea(const std::vector<uint8_t>& image, const std::string& what);
// The image's own length: the end of its last section's file data (an archive may follow).
uint32_t PeImageEnd(const std::vector<uint8_t>& image, const std::string& what);
