#ifndef VELQORA_HOST_IMAGE_DATA_H
#define VELQORA_HOST_IMAGE_DATA_H

#include "platform/boundary/HostInterface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host
{

// Where a file's image goes: given its geometry and sample format (no
// channels yet), returns the same with a pointer to each channel, planar,
// rows in file order. The colour channels come first, then any extra (alpha)
// channels. The reader writes every sample, so none needs a value before.
using ImageAllocator = std::function<host_image_desc( const host_image_desc& format )>;

// What a file tells besides its samples.
struct ImageFileInfo
{
   // FITS header cards (80 characters each) that still hold for a copy of the
   // image in another file: everything but the data's own structure.
   std::vector<std::string> keywords;
   // How samples outside the platform's ranges were brought into them; empty
   // when they were taken as they are.
   std::string conversion;
};

// An image in channels of its own, in one of the five sample formats (8/16/32-bit
// unsigned, 32/64-bit float), with what its file told.
struct ImageData : ImageFileInfo
{
   int width = 0;
   int height = 0;
   int numberOfChannels = 0;
   int colorSpace = 0; // 0 grayscale, 1 RGB
   int bitsPerSample = 0;
   bool isFloatSample = false;
   std::vector<std::vector<unsigned char>> channels;

   // Zeroed channels of the given geometry and format.
   void Allocate( int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample, bool isFloatSample );
   size_t BytesPerChannel() const noexcept;
   // A description whose channel pointers stay valid while this object lives
   // unchanged.
   host_image_desc Describe();

private:
   std::vector<void*> m_pointers;
};

// The bytes of all channels of an image of this format (the largest number
// beyond that).
uintmax_t ImageBytes( const host_image_desc& format ) noexcept;

// The format of an image of the sides a file gives (no channels yet). Throws
// std::runtime_error naming the file for an empty image and a side beyond the
// host's reach.
host_image_desc CheckedImageFormat( const std::string& path, uintmax_t width, uintmax_t height, int numberOfChannels,
                                    int colorSpace, int bitsPerSample, bool isFloatSample );

// Throws std::runtime_error naming the file when the image is larger than the
// memory the machine has available: before it is allocated, not on the way.
void CheckMemoryFor( const std::string& path, const host_image_desc& format );

// "6000 x 4000 pixels, 3 channels of 32-bit floating-point samples (288 MB)".
std::string ImageSizeText( const host_image_desc& format );

// Brings the samples of a freshly read image into the platform's ranges and
// tells how, or returns "" when they are taken as they are: signed integer
// samples (`isSigned`: two's complement) are shifted into the unsigned type of
// the same width; floating-point images with samples outside 0..1 are scaled
// linearly from [min(0, lowest), max(1, highest)] to [0, 1]. Throws
// std::runtime_error naming the file for non-finite floating-point samples.
std::string BringIntoRange( const host_image_desc& image, bool isSigned, const std::string& path );

} // host

#endif
