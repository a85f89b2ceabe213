#ifndef PCL_FILE_H
#define PCL_FILE_H

#include "platform/core/Array.h"
#include "platform/core/String.h"

namespace pcl
{

class File
{
public:
   // True for an existing regular file. An empty path throws
   // "Invalid or empty file name".
   static bool Exists( const String& path );

   // The whole file. Throws Error when it cannot be read.
   static ByteArray ReadFile( const String& path );

   // The size in bytes of a regular file, without reading it. Throws Error as
   // ReadFile does when the file cannot be found or is not a regular file.
   static uint64_t Size( const String& path );
};

} // pcl

#endif
