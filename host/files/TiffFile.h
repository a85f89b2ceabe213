#ifndef VELQORA_HOST_TIFF_FILE_H
#define VELQORA_HOST_TIFF_FILE_H

#include "host/files/ImageData.h"

#include <string>

namespace host
{

// TIFF through libtiff: the first image of the file, grayscale or RGB with any
// extra samples, chunky or planar, stripped or tiled, read into the channels
// that `allocate` gives once the file is known to hold the image. Throws
// std::runtime_error naming the file.
ImageFileInfo ReadTiffFile( const std::string& path, const ImageAllocator& allocate );

// Writes a new file (the path must not exist), uncompressed, chunky; channels
// beyond the colour ones are written as unassociated alpha.
void WriteTiffFile( const std::string& path, const host_image_desc& image );

} // host

#endif
