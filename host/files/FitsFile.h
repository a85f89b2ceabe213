#ifndef VELQORA_HOST_FITS_FILE_H
#define VELQORA_HOST_FITS_FILE_H

#include "host/files/ImageData.h"

#include <string>
#include <vector>

namespace host
{

// FITS through cfitsio: the first HDU holding an image; 2-D images as
// grayscale, 3-D images of three planes as RGB, read into the channels that
// `allocate` gives once the file is known to hold the image. Throws
// std::runtime_error naming the file.
ImageFileInfo ReadFitsFile( const std::string& path, const ImageAllocator& allocate );

// Writes a new file (the path must not exist) with the keywords after the
// data's own structure.
void WriteFitsFile( const std::string& path, const host_image_desc& image, const std::vector<std::string>& keywords );

} // host

#endif
