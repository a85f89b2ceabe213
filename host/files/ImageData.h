#ifndef VELQORA_HOST_IMAGE_DATA_H
#define VELQORA_HOST_IMAGE_DATA_H

#include "platform/boundary/HostInterface.h"

#include <cstddef>
#include <string>
#include <vector>

namespace host
{

// An image as read from a file: planar channels with rows in file order, in
// one of the five sample formats (8/16/32-bit unsigned, 32/64-bit float). The
// colour channels come first, then any extra (alpha) channels.
struct ImageData
{
   int width = 0;
   int height = 0;
   int numberOfChannels = 0;
   int colorSpace = 0; // 0 grayscale, 1 RGB
   int bitsPerSample = 0;
   bool isFloatSample = false;
   std::vector<std::vector<unsigned char>> channels;
   // FITS header cards (80 characters each) that still hold for a copy of the
   // image in another file: everything but the data's own structure.
   std::vector<std::string> keywords;
   // How samples outside the platform's ranges were brought into them; empty
   // when they were taken as they are.
   std::string conversion;

   // Zeroed channels of the given geometry and format.
   void Allocate( int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample, bool isFloatSample );
   size_t BytesPerChannel() const noexcept;
   // A description whose channel pointers stay valid while this object lives
   // unchanged.
   host_image_desc Describe();

private:
   std::vector<void*> m_pointers;
};

// Brings the samples of a freshly read image into the platform's ranges:
// signed integer samples (`isSigned`: two's complement) are shifted into the
// unsigned type of the same width; floating-point images with samples outside
// 0..1 are scaled linearly from [min(0, lowest), max(1, highest)] to [0, 1];
// either is told in `conversion`. Throws std::runtime_error naming the file
// for non-finite floating-point samples.
void BringIntoRange( ImageData& image, bool isSigned, const std::string& path );

} // host

#endif
