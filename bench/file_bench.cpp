// Times the host's open and save of a 6000 × 4000 RGB 32-bit float FITS file
// and a 6000 × 4000 RGB 16-bit TIFF file against cfitsio's and libtiff's own
// plain read and write of the same files, in the same run: the read into one
// buffer of the file's layout, the write from one. The host's open ends with
// the image in a view, its save with the file flushed and renamed. Each
// figure is the median of seven runs. `file_bench DIR` works in DIR (default:
// the system's temporary directory).
#include "host/files/ImageFile.h"
#include "host/windows/HostView.h"

#include <fitsio.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

constexpr int Width = 6000, Height = 4000, Channels = 3;
constexpr size_t Pixels = size_t( Width ) * Height;

template <typename F>
double MedianSeconds( F&& f )
{
   std::vector<double> seconds;
   for ( int r = 0; r < 7; ++r )
   {
      const auto t0 = std::chrono::steady_clock::now();
      f();
      seconds.push_back( std::chrono::duration<double>( std::chrono::steady_clock::now() - t0 ).count() );
   }
   std::nth_element( seconds.begin(), seconds.begin() + 3, seconds.end() );
   return seconds[3];
}

void Report( const char* what, double host, const char* library, double reference )
{
   std::printf( "  %-5s host %8.1f ms   %-14s %8.1f ms   %5.2f x\n", what, host * 1e3, library, reference * 1e3,
                host / reference );
}

// The host's open, as velqora-host does it: the file read into a new view.
std::unique_ptr<host::View> HostOpen( const std::string& path )
{
   std::unique_ptr<host::View> view;
   host::ReadImageFile( path, [&]( const host_image_desc& f ) {
      view = std::make_unique<host::View>( "image", f.width, f.height, f.numberOfChannels, f.colorSpace,
                                           f.bitsPerSample, f.isFloatSample != 0 );
      return view->Describe();
   } );
   return view;
}

void HostSave( const host::View& view, const std::string& path )
{
   host::WriteImageFile( path, view.Describe(), {}, true );
}

template <typename T>
std::unique_ptr<T[]> Buffer( size_t count )
{
   return std::make_unique_for_overwrite<T[]>( count );
}

void Check( int status )
{
   if ( status != 0 )
   {
      std::fprintf( stderr, "cfitsio error %d\n", status );
      std::exit( 1 );
   }
}

// All planes at once, as stored.
std::unique_ptr<float[]> CfitsioRead( const std::string& path )
{
   auto samples = Buffer<float>( Pixels * Channels );
   fitsfile* f = nullptr;
   int status = 0, anyNull = 0;
   long first[3] = { 1, 1, 1 };
   fits_open_diskfile( &f, path.c_str(), READONLY, &status );
   fits_read_pix( f, TFLOAT, first, long( Pixels * Channels ), nullptr, samples.get(), &anyNull, &status );
   fits_close_file( f, &status );
   Check( status );
   return samples;
}

void CfitsioWrite( const float* samples, const std::string& path )
{
   fs::remove( path );
   fitsfile* f = nullptr;
   int status = 0;
   long axes[3] = { Width, Height, Channels };
   long first[3] = { 1, 1, 1 };
   fits_create_diskfile( &f, path.c_str(), &status );
   fits_create_img( f, FLOAT_IMG, 3, axes, &status );
   fits_write_pix( f, TFLOAT, first, long( Pixels * Channels ), const_cast<float*>( samples ), &status );
   fits_close_file( f, &status );
   Check( status );
}

// Every strip into one buffer of interleaved samples.
std::unique_ptr<uint16_t[]> LibtiffRead( const std::string& path )
{
   auto samples = Buffer<uint16_t>( Pixels * Channels );
   TIFF* t = TIFFOpen( path.c_str(), "r" );
   const tmsize_t stripBytes = TIFFStripSize( t );
   const tmsize_t total = tmsize_t( Pixels * Channels * sizeof( uint16_t ) );
   char* to = reinterpret_cast<char*>( samples.get() );
   for ( uint32_t s = 0; s < TIFFNumberOfStrips( t ); ++s )
      TIFFReadEncodedStrip( t, s, to + s * stripBytes, std::min( stripBytes, total - tmsize_t( s ) * stripBytes ) );
   TIFFClose( t );
   return samples;
}

// Strips of about a megabyte, as the host writes them.
void LibtiffWrite( const uint16_t* samples, const std::string& path )
{
   TIFF* t = TIFFOpen( path.c_str(), "w" );
   const uint32_t rowBytes = Width * Channels * sizeof( uint16_t );
   const uint32_t rowsPerStrip = std::max<uint32_t>( 1, ( 1u << 20 ) / rowBytes );
   TIFFSetField( t, TIFFTAG_IMAGEWIDTH, uint32_t( Width ) );
   TIFFSetField( t, TIFFTAG_IMAGELENGTH, uint32_t( Height ) );
   TIFFSetField( t, TIFFTAG_SAMPLESPERPIXEL, uint16_t( Channels ) );
   TIFFSetField( t, TIFFTAG_BITSPERSAMPLE, uint16_t( 16 ) );
   TIFFSetField( t, TIFFTAG_PHOTOMETRIC, uint16_t( PHOTOMETRIC_RGB ) );
   TIFFSetField( t, TIFFTAG_PLANARCONFIG, uint16_t( PLANARCONFIG_CONTIG ) );
   TIFFSetField( t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip );
   const char* from = reinterpret_cast<const char*>( samples );
   for ( uint32_t y = 0; y < uint32_t( Height ); y += rowsPerStrip )
      TIFFWriteEncodedStrip( t, TIFFComputeStrip( t, y, 0 ), const_cast<char*>( from + size_t( y ) * rowBytes ),
                             tmsize_t( std::min<uint32_t>( rowsPerStrip, Height - y ) ) * rowBytes );
   TIFFClose( t );
}

// A sky-like image of the format in [0, 1].
std::unique_ptr<host::View> Sky( int bitsPerSample, bool isFloat )
{
   auto view = std::make_unique<host::View>( "sky", Width, Height, Channels, 1, bitsPerSample, isFloat );
   std::mt19937 rng( 7 );
   std::normal_distribution<double> noise( 0.1, 0.02 );
   for ( int c = 0; c < Channels; ++c )
      for ( size_t i = 0; i < Pixels; ++i )
      {
         const double v = std::clamp( noise( rng ), 0.0, 1.0 );
         if ( isFloat )
            view->Samples<float>( c )[i] = float( v );
         else
            view->Samples<uint16_t>( c )[i] = uint16_t( v * 65535 + 0.5 );
      }
   return view;
}

// The host's open and save of one file against the library's read and write
// of the same samples, each into a file of its own in `dir`.
template <typename T, typename Read, typename Write>
void Compare( const fs::path& dir, const char* format, const char* samples, const char* extension, const host::View& sky, Read libraryRead,
              Write libraryWrite, const char* library )
{
   const std::string file = ( dir / ( std::string( "file_bench" ) + extension ) ).string();
   const std::string hostOut = ( dir / ( std::string( "file_bench-host" ) + extension ) ).string();
   const std::string libraryOut = ( dir / ( std::string( "file_bench-library" ) + extension ) ).string();
   HostSave( sky, file );
   std::printf( "%s %d x %d RGB %s (%zu MB)\n", format, Width, Height, samples,
                Pixels * Channels * sizeof( T ) / 1000000 );
   std::unique_ptr<host::View> view;
   std::unique_ptr<T[]> read;
   const double hostRead = MedianSeconds( [&] { view = HostOpen( file ); } );
   const double libraryReads = MedianSeconds( [&] { read = libraryRead( file ); } );
   Report( "open", hostRead, ( library + std::string( " read" ) ).c_str(), libraryReads );
   const double hostWrite = MedianSeconds( [&] { HostSave( *view, hostOut ); } );
   const double libraryWrites = MedianSeconds( [&] { libraryWrite( read.get(), libraryOut ); } );
   Report( "save", hostWrite, ( library + std::string( " write" ) ).c_str(), libraryWrites );
   for ( const std::string& path : { file, hostOut, libraryOut } )
      fs::remove( path );
}

} // namespace

int main( int argc, char** argv )
{
   const fs::path dir = argc > 1 ? fs::path( argv[1] ) : fs::temp_directory_path();
   Compare<float>( dir, "FITS", "32-bit float", ".fits", *Sky( 32, true ), CfitsioRead, CfitsioWrite, "cfitsio" );
   Compare<uint16_t>( dir, "TIFF", "16-bit", ".tif", *Sky( 16, false ), LibtiffRead, LibtiffWrite, "libtiff" );
   return 0;
}
