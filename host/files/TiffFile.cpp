#include "host/files/TiffFile.h"

#include "host/files/SampleType.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>

namespace host
{

namespace
{

struct TiffCloser
{
   void operator()( TIFF* tiff ) const noexcept { TIFFClose( tiff ); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree
{
   void operator()( TIFFOpenOptions* options ) const noexcept { TIFFOpenOptionsFree( options ); }
};

// libtiff's messages for one file: the first error is kept for the message
// the user sees; warnings (unknown tags and the like) are not shown.
struct Messages
{
   std::string path;
   std::string firstError;
};

int KeepError( TIFF*, void* data, const char* /*module*/, const char* format, va_list arguments )
{
   auto* messages = static_cast<Messages*>( data );
   if ( messages->firstError.empty() )
   {
      char text[512];
      std::vsnprintf( text, sizeof text, format, arguments );
      // Our message names the file once.
      const std::string_view name = messages->path;
      std::string_view t = text;
      if ( t.starts_with( name ) && t.substr( name.size() ).starts_with( ": " ) )
         t.remove_prefix( name.size() + 2 );
      messages->firstError = t;
   }
   return 1;
}

int IgnoreWarning( TIFF*, void*, const char*, const char*, va_list )
{
   return 1;
}

TiffHandle Open( const std::string& path, const char* mode, Messages& messages )
{
   messages.path = path;
   std::unique_ptr<TIFFOpenOptions, OptionsFree> options( TIFFOpenOptionsAlloc() );
   if ( !options )
      throw std::bad_alloc();
   TIFFOpenOptionsSetErrorHandlerExtR( options.get(), &KeepError, &messages );
   TIFFOpenOptionsSetWarningHandlerExtR( options.get(), &IgnoreWarning, nullptr );
   TiffHandle tiff( TIFFOpenExt( path.c_str(), mode, options.get() ) );
   if ( !tiff )
      throw std::runtime_error( path + ": " + ( messages.firstError.empty() ? "cannot open the TIFF file"
                                                                            : messages.firstError ) );
   return tiff;
}

[[noreturn]] void ThrowTiffError( const std::string& path, const Messages& messages, const char* what )
{
   throw std::runtime_error( path + ": " + what + ( messages.firstError.empty() ? "" : ": " + messages.firstError ) );
}

// One decoded strip or tile: its rectangle, and its samples with `stride`
// samples per pixel, rows `width` pixels apart.
struct Block
{
   uint32_t x, y, width, height;
};

template <typename T>
void CopyBlock( const host_image_desc& image, const Block& block, const unsigned char* data, int firstChannel,
                int channels )
{
   const T* s = reinterpret_cast<const T*>( data );
   const uint32_t rows = std::min<uint32_t>( block.height, uint32_t( image.height ) - block.y );
   const uint32_t columns = std::min<uint32_t>( block.width, uint32_t( image.width ) - block.x );
   for ( int c = 0; c < channels; ++c )
   {
      T* target = static_cast<T*>( image.channels[firstChannel + c] );
      for ( uint32_t r = 0; r < rows; ++r )
      {
         const T* from = s + size_t( r ) * block.width * channels + c;
         T* to = target + size_t( block.y + r ) * image.width + block.x;
         for ( uint32_t x = 0; x < columns; ++x )
            to[x] = from[size_t( x ) * channels];
      }
   }
}

// Uncompressed strips and tiles are read as they are: each must be in the
// file whole, or libtiff finds out only once the image is allocated.
void CheckStoredBlocks( const std::string& path, TIFF* t, tmsize_t blockBytes, const Block& shape, uint32_t height,
                        int planes )
{
   struct stat info;
   if ( ::stat( path.c_str(), &info ) != 0 )
      return; // libtiff tells
   const uint64_t size = uint64_t( info.st_size );
   const uint32_t blocks = TIFFIsTiled( t ) ? TIFFNumberOfTiles( t ) : TIFFNumberOfStrips( t );
   const uint32_t perPlane = blocks / uint32_t( planes );
   uint64_t end = 0;
   std::string damaged;
   for ( uint32_t b = 0; b < blocks; ++b )
   {
      // A stripped image's last strip holds only the rows that are left.
      uint64_t expected = uint64_t( blockBytes );
      if ( !TIFFIsTiled( t ) && b % perPlane == perPlane - 1 && height % shape.height != 0 )
         expected = uint64_t( blockBytes ) / shape.height * ( height % shape.height );
      const uint64_t offset = TIFFGetStrileOffset( t, b ), count = TIFFGetStrileByteCount( t, b );
      if ( count < expected && damaged.empty() )
         damaged = ( TIFFIsTiled( t ) ? "tile " : "strip " ) + std::to_string( b ) + " holds " +
                   std::to_string( count ) + " bytes of its " + std::to_string( expected );
      end = std::max( end, offset > UINT64_MAX - expected ? UINT64_MAX : offset + expected );
   }
   if ( end > size )
      throw std::runtime_error( path + ": the file is cut short: " + std::to_string( size ) + " bytes, the image needs " +
                                std::to_string( end ) );
   if ( !damaged.empty() )
      throw std::runtime_error( path + ": the file is damaged: " + damaged );
}

} // namespace

ImageFileInfo ReadTiffFile( const std::string& path, const ImageAllocator& allocate )
{
   Messages messages;
   TiffHandle tiff = Open( path, "r", messages );
   TIFF* t = tiff.get();

   uint32_t width = 0, height = 0;
   uint16_t samplesPerPixel = 1, bitsPerSample = 1, sampleFormat = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
   uint16_t photometric = 0, compression = COMPRESSION_NONE;
   if ( !TIFFGetField( t, TIFFTAG_IMAGEWIDTH, &width ) || !TIFFGetField( t, TIFFTAG_IMAGELENGTH, &height ) ||
        !TIFFGetField( t, TIFFTAG_PHOTOMETRIC, &photometric ) )
      ThrowTiffError( path, messages, "the TIFF file lacks its image size or photometric interpretation" );
   TIFFGetFieldDefaulted( t, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel );
   TIFFGetFieldDefaulted( t, TIFFTAG_BITSPERSAMPLE, &bitsPerSample );
   TIFFGetFieldDefaulted( t, TIFFTAG_SAMPLEFORMAT, &sampleFormat );
   TIFFGetFieldDefaulted( t, TIFFTAG_PLANARCONFIG, &planar );
   TIFFGetFieldDefaulted( t, TIFFTAG_COMPRESSION, &compression );

   const bool isFloat = sampleFormat == SAMPLEFORMAT_IEEEFP;
   const bool isSigned = sampleFormat == SAMPLEFORMAT_INT;
   const bool formatTaken = isFloat ? ( bitsPerSample == 32 || bitsPerSample == 64 )
                                    : ( ( sampleFormat == SAMPLEFORMAT_UINT || isSigned ) &&
                                        ( bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 32 ) );
   if ( !formatTaken )
      throw std::runtime_error( path + ": TIFF images of " + std::to_string( bitsPerSample ) + "-bit " +
                                ( isFloat ? "floating-point" : "integer" ) +
                                " samples are not supported (8, 16 or 32-bit integers, 32 or 64-bit floats are)" );
   const int colourChannels = photometric == PHOTOMETRIC_RGB ? 3 : 1;
   if ( ( photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_RGB ) ||
        samplesPerPixel < colourChannels )
      throw std::runtime_error( path + ": TIFF photometric interpretation " + std::to_string( photometric ) +
                                " with " + std::to_string( samplesPerPixel ) +
                                " samples per pixel is not supported (grayscale or RGB are)" );
   const host_image_desc shape = CheckedImageFormat( path, width, height, samplesPerPixel, colourChannels == 3 ? 1 : 0,
                                                     bitsPerSample, isFloat );

   const bool tiled = TIFFIsTiled( t ) != 0;
   Block block{ 0, 0, width, 0 };
   if ( tiled )
   {
      TIFFGetField( t, TIFFTAG_TILEWIDTH, &block.width );
      TIFFGetField( t, TIFFTAG_TILELENGTH, &block.height );
   }
   else
   {
      TIFFGetFieldDefaulted( t, TIFFTAG_ROWSPERSTRIP, &block.height );
      block.height = std::min( block.height, height );
   }
   if ( block.width == 0 || block.height == 0 )
      ThrowTiffError( path, messages, "the TIFF file has no valid strip or tile size" );

   const bool separate = planar == PLANARCONFIG_SEPARATE;
   const int planes = separate ? samplesPerPixel : 1;
   const int perPixel = separate ? 1 : samplesPerPixel;
   const tmsize_t blockBytes = tiled ? TIFFTileSize( t ) : TIFFStripSize( t );
   if ( blockBytes <= 0 ||
        size_t( blockBytes ) < size_t( block.width ) * block.height * perPixel * ( bitsPerSample / 8 ) )
      ThrowTiffError( path, messages, "the TIFF file has an inconsistent strip or tile size" );
   if ( compression == COMPRESSION_NONE )
      CheckStoredBlocks( path, t, blockBytes, block, height, planes );
   CheckMemoryFor( path, shape );

   const host_image_desc image = allocate( shape );
   // Strips of one sample per pixel go straight into their channel's rows.
   const bool direct = !tiled && perPixel == 1;
   std::vector<unsigned char> buffer( direct ? 0 : static_cast<size_t>( blockBytes ) );
   const size_t rowBytes = size_t( width ) * ( bitsPerSample / 8 );
   WithSampleType( bitsPerSample, isFloat, [&]<typename T>( T ) {
      for ( int plane = 0; plane < planes; ++plane )
         for ( uint32_t y = 0; y < height; y += block.height )
            for ( uint32_t x = 0; x < width; x += block.width )
            {
               tmsize_t read = 0;
               if ( tiled )
                  read = TIFFReadEncodedTile( t, TIFFComputeTile( t, x, y, 0, uint16_t( plane ) ), buffer.data(),
                                              blockBytes );
               else if ( direct )
                  read = TIFFReadEncodedStrip( t, TIFFComputeStrip( t, y, uint16_t( plane ) ),
                                               static_cast<unsigned char*>( image.channels[plane] ) + y * rowBytes,
                                               tmsize_t( std::min( block.height, height - y ) * rowBytes ) );
               else
                  read = TIFFReadEncodedStrip( t, TIFFComputeStrip( t, y, uint16_t( plane ) ), buffer.data(),
                                               blockBytes );
               if ( read < 0 )
                  ThrowTiffError( path, messages, "cannot read the TIFF image data" );
               // Signed samples are copied as their bits, then shifted.
               if ( !direct )
                  CopyBlock<T>( image, Block{ x, y, block.width, block.height }, buffer.data(), plane, perPixel );
            }
   } );

   ImageFileInfo info;
   info.conversion = BringIntoRange( image, isSigned, path );
   return info;
}

void WriteTiffFile( const std::string& path, const host_image_desc& image )
{
   const int colourChannels = image.colorSpace == 1 ? 3 : 1;
   if ( image.numberOfChannels < colourChannels )
      throw std::runtime_error( path + ": the image has fewer channels than its colour space" );
   const size_t bytesPerSample = size_t( image.bitsPerSample / 8 );
   const size_t rowBytes = size_t( image.width ) * image.numberOfChannels * bytesPerSample;
   // Classic TIFF addresses 4 GiB; larger images go into a BigTIFF file.
   const bool big = rowBytes * size_t( image.height ) > ( size_t( 1 ) << 32 ) - ( size_t( 1 ) << 24 );
   Messages messages;
   TiffHandle tiff = Open( path, big ? "w8" : "w", messages );
   TIFF* t = tiff.get();

   TIFFSetField( t, TIFFTAG_IMAGEWIDTH, uint32_t( image.width ) );
   TIFFSetField( t, TIFFTAG_IMAGELENGTH, uint32_t( image.height ) );
   TIFFSetField( t, TIFFTAG_SAMPLESPERPIXEL, uint16_t( image.numberOfChannels ) );
   TIFFSetField( t, TIFFTAG_BITSPERSAMPLE, uint16_t( image.bitsPerSample ) );
   TIFFSetField( t, TIFFTAG_SAMPLEFORMAT, uint16_t( image.isFloatSample ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT ) );
   TIFFSetField( t, TIFFTAG_PHOTOMETRIC, uint16_t( colourChannels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK ) );
   TIFFSetField( t, TIFFTAG_PLANARCONFIG, uint16_t( PLANARCONFIG_CONTIG ) );
   TIFFSetField( t, TIFFTAG_COMPRESSION, uint16_t( COMPRESSION_NONE ) );
   TIFFSetField( t, TIFFTAG_ORIENTATION, uint16_t( ORIENTATION_TOPLEFT ) );
   if ( image.numberOfChannels > colourChannels )
   {
      std::vector<uint16_t> extra( size_t( image.numberOfChannels - colourChannels ), EXTRASAMPLE_UNASSALPHA );
      TIFFSetField( t, TIFFTAG_EXTRASAMPLES, uint16_t( extra.size() ), extra.data() );
   }
   // Strips of about a megabyte.
   const uint32_t rowsPerStrip = uint32_t( std::max<size_t>( 1, ( size_t( 1 ) << 20 ) / std::max<size_t>( 1, rowBytes ) ) );
   TIFFSetField( t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip );

   std::vector<unsigned char> row( rowBytes );
   WithSampleType( image.bitsPerSample, image.isFloatSample != 0, [&]<typename T>( T ) {
      const int n = image.numberOfChannels;
      T* to = reinterpret_cast<T*>( row.data() );
      for ( int y = 0; y < image.height; ++y )
      {
         for ( int c = 0; c < n; ++c )
         {
            const T* from = static_cast<const T*>( image.channels[c] ) + size_t( y ) * image.width;
            for ( int x = 0; x < image.width; ++x )
               to[size_t( x ) * n + c] = from[x];
         }
         if ( TIFFWriteScanline( t, row.data(), uint32_t( y ), 0 ) < 0 )
            ThrowTiffError( path, messages, "cannot write the TIFF image data" );
      }
   } );
   TIFF* closing = tiff.release();
   // TIFFClose reports a failed final write only through the error handler.
   TIFFClose( closing );
   if ( !messages.firstError.empty() )
      ThrowTiffError( path, messages, "cannot write the TIFF file" );
}

} // host
