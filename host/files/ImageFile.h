#ifndef VELQORA_HOST_IMAGE_FILE_H
#define VELQORA_HOST_IMAGE_FILE_H

#include "host/files/ImageData.h"

#include <cstddef>
#include <string>
#include <vector>

namespace host
{

// Reads a FITS or TIFF file, told apart by their first bytes, into the
// channels that `allocate` gives. Signed integer samples are shifted into the
// unsigned type of the same width; floating-point images with samples outside
// 0..1 are scaled linearly from [min(0, lowest), max(1, highest)] to [0, 1];
// either is told in `conversion`. What is not a regular file, an empty image
// and an image larger than the memory available are refused before anything
// is allocated. Throws std::runtime_error naming the file.
ImageFileInfo ReadImageFile( const std::string& path, const ImageAllocator& allocate );

// The same into channels of the image's own.
ImageData ReadImageFile( const std::string& path );

// Writes the image to a FITS (.fits, .fit, .fts) or TIFF (.tif, .tiff) file,
// chosen by the extension, in the image's own sample format; keywords go into
// a FITS header. The file is written beside the target under a temporary name
// and renamed when complete; an existing file is replaced only when
// `overwrite` is set. Throws std::runtime_error naming the file; on failure
// nothing is left behind.
void WriteImageFile( const std::string& path, const host_image_desc& image, const std::vector<std::string>& keywords,
                     bool overwrite );

} // host

#endif
