// Image files: FITS and TIFF round trips, files written by other programs,
// and the files the host refuses.
#include "ScratchDirectory.h"
#include "host/files/ImageFile.h"
#include "host/files/SampleType.h"
#include "tests/ErrorOf.h"

#include <fitsio.h>
#include <tiffio.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <tuple>

namespace
{

namespace fs = std::filesystem;

// Samples over the whole range of the format, the extremes included.
host::ImageData Pattern( int width, int height, int channels, int bits, bool isFloat, unsigned seed )
{
   host::ImageData image;
   image.Allocate( width, height, channels, channels >= 3 ? 1 : 0, bits, isFloat );
   std::mt19937_64 rng( seed );
   host::WithSampleType( bits, isFloat, [&]<typename T>( T ) {
      for ( auto& channel : image.channels )
      {
         T* s = reinterpret_cast<T*>( channel.data() );
         const size_t n = channel.size() / sizeof( T );
         for ( size_t i = 0; i < n; ++i )
            if constexpr ( std::is_floating_point_v<T> )
               s[i] = T( std::uniform_real_distribution<double>( 0, 1 )( rng ) );
            else
               s[i] = T( rng() );
         s[0] = 0;
         s[n - 1] = std::is_floating_point_v<T> ? T( 1 ) : std::numeric_limits<T>::max();
      }
   } );
   return image;
}

void ExpectSameImage( const host::ImageData& a, const host::ImageData& b, const std::string& what )
{
   auto format = []( const host::ImageData& i ) {
      return std::tuple( i.width, i.height, i.numberOfChannels, i.colorSpace, i.bitsPerSample, i.isFloatSample );
   };
   EXPECT_EQ( format( a ), format( b ) ) << what;
   EXPECT_TRUE( a.channels == b.channels ) << what << ": samples differ";
}

class ImageFileTest : public ::testing::Test
{
protected:
   std::string PathOf( const std::string& name ) const { return ( m_dir.Path() / name ).string(); }

   void Save( host::ImageData& image, const std::string& name, bool overwrite = false,
              const std::vector<std::string>& keywords = {} )
   {
      host::WriteImageFile( PathOf( name ), image.Describe(), keywords, overwrite );
   }

   // Files in the directory, temporary ones included.
   std::vector<std::string> Files() const
   {
      std::vector<std::string> names;
      for ( const auto& e : fs::directory_iterator( m_dir.Path() ) )
         names.push_back( e.path().filename().string() );
      std::sort( names.begin(), names.end() );
      return names;
   }

   // A FITS file written by cfitsio itself: samples first + k (k = 0, 1, 2,
   // ... in file order, modulo 100), planes after planes.
   std::string WriteRawFits( const std::string& name, int bitpix, std::vector<long> axes, double first,
                             bool compressed = false )
   {
      const std::string path = PathOf( name );
      fitsfile* f = nullptr;
      int status = 0;
      fits_create_diskfile( &f, path.c_str(), &status );
      if ( compressed )
         fits_set_compression_type( f, RICE_1, &status );
      fits_create_img( f, bitpix, int( axes.size() ), axes.data(), &status );
      fits_write_key_str( f, "OBJECT", "M51", "the target", &status );
      fits_write_key_dbl( f, "DATAMIN", first, -1, nullptr, &status );
      long count = 1;
      for ( long a : axes )
         count *= a;
      std::vector<double> values( static_cast<size_t>( count ) );
      for ( long k = 0; k < count; ++k )
         values[size_t( k )] = first + double( k % 100 );
      if ( compressed )
      {
         std::vector<uint16_t> samples( values.begin(), values.end() );
         fits_write_img( f, TUSHORT, 1, count, samples.data(), &status );
      }
      else
         fits_write_img( f, TDOUBLE, 1, count, values.data(), &status );
      fits_close_file( f, &status );
      EXPECT_EQ( status, 0 ) << name;
      return path;
   }

   ScratchDirectory m_dir;
};

TEST_F( ImageFileTest, EverySampleFormatRoundTripsBitForBit )
{
   struct Case
   {
      int bits;
      bool isFloat;
   };
   const Case formats[] = { { 8, false }, { 16, false }, { 32, false }, { 32, true }, { 64, true } };
   unsigned seed = 1;
   for ( const Case& f : formats )
      for ( int channels : { 1, 3 } )
         for ( const char* extension : { ".fits", ".tif" } )
         {
            const std::string name = std::to_string( f.bits ) + ( f.isFloat ? "f" : "u" ) + "-" +
                                     std::to_string( channels ) + extension;
            // Width and height differ, so that a transposed or flipped image shows.
            host::ImageData image = Pattern( 37, 23, channels, f.bits, f.isFloat, ++seed );
            Save( image, name );
            const host::ImageData back = host::ReadImageFile( PathOf( name ) );
            ExpectSameImage( back, image, name );
            EXPECT_EQ( back.conversion, "" ) << name;
         }
   EXPECT_EQ( Files().size(), 20u ); // no temporary file left over
}

TEST_F( ImageFileTest, FitsRowsPlanesAndKeywordsAreKeptAsInTheFile )
{
   const std::string path = WriteRawFits( "raw.fits", USHORT_IMG, { 5, 4, 3 }, 60000 );
   host::ImageData image = host::ReadImageFile( path );
   ASSERT_EQ( image.numberOfChannels, 3 );
   EXPECT_EQ( image.colorSpace, 1 );
   const uint16_t* plane2 = reinterpret_cast<const uint16_t*>( image.channels[2].data() );
   EXPECT_EQ( plane2[0], 60000 + 40 ); // the file's first row of the third plane is row 0
   EXPECT_EQ( plane2[1 * 5 + 4], 60000 + 40 + 9 );
   // Structure and values the data may no longer have are not carried over.
   auto has = [&]( const char* start ) {
      return std::count_if( image.keywords.begin(), image.keywords.end(),
                            [&]( const std::string& k ) { return k.starts_with( start ); } );
   };
   EXPECT_EQ( has( "OBJECT  = 'M51     '" ), 1 );
   EXPECT_EQ( has( "DATAMIN" ) + has( "BZERO" ) + has( "NAXIS" ) + has( "BITPIX" ), 0 );

   Save( image, "copy.fits", false, image.keywords );
   const host::ImageData copy = host::ReadImageFile( PathOf( "copy.fits" ) );
   ExpectSameImage( copy, image, "copy" );
   EXPECT_EQ( copy.keywords, image.keywords );
   // Tile-compressed, the image sits in an extension, in fewer bytes than its samples.
   ExpectSameImage( host::ReadImageFile( WriteRawFits( "rice.fits", USHORT_IMG, { 200, 150, 3 }, 60000, true ) ),
                    host::ReadImageFile( WriteRawFits( "plain.fits", USHORT_IMG, { 200, 150, 3 }, 60000 ) ),
                    "compressed" );
}

TEST_F( ImageFileTest, SignedAndOutOfRangeSamplesAreBroughtIntoRangeAndTold )
{
   struct Case
   {
      int bitpix;
      double fileFirst; // the first sample in the file
      int bits;
      bool isFloat;
      double first; // the first sample, as read
      const char* conversion;
   };
   const Case cases[] = {
      { SHORT_IMG, -3, 16, false, 32768 - 3, "signed 16-bit samples shifted by +32768 into the unsigned range" },
      { SBYTE_IMG, -3, 8, false, 128 - 3, "signed 8-bit samples shifted by +128 into the unsigned range" },
      { LONG_IMG, -3, 32, false, 2147483648.0 - 3, "signed 32-bit samples shifted by +2147483648 into the unsigned range" },
      { FLOAT_IMG, -3, 32, true, 0,
        "32-bit floating-point samples from -3 to 16 scaled linearly from [-3, 16] to [0, 1]" },
      { DOUBLE_IMG, -3, 64, true, 0,
        "64-bit floating-point samples from -3 to 16 scaled linearly from [-3, 16] to [0, 1]" },
      // Zero stays zero for positive data.
      { FLOAT_IMG, 0.5, 32, true, float( 0.5 / 19.5 ),
        "32-bit floating-point samples from 0.5 to 19.5 scaled linearly from [0, 19.5] to [0, 1]" },
   };
   for ( const Case& c : cases )
   {
      const std::string path =
         WriteRawFits( "in-range" + std::to_string( &c - cases ) + ".fits", c.bitpix, { 5, 4 }, c.fileFirst );
      const host::ImageData image = host::ReadImageFile( path );
      EXPECT_EQ( image.bitsPerSample, c.bits ) << c.bitpix;
      EXPECT_EQ( image.isFloatSample, c.isFloat ) << c.bitpix;
      EXPECT_EQ( image.conversion, c.conversion ) << c.bitpix;
      host::WithSampleType( c.bits, c.isFloat, [&]<typename T>( T ) {
         const T* s = reinterpret_cast<const T*>( image.channels[0].data() );
         EXPECT_EQ( double( s[0] ), c.first ) << c.bitpix;
         if constexpr ( std::is_floating_point_v<T> )
         {
            EXPECT_EQ( s[19], T( 1 ) ) << c.bitpix;
         }
      } );
   }

   // Samples near the limits of doubles: their span overflows, the scaling
   // must not, and the host reads its own output again.
   fitsfile* f = nullptr;
   int status = 0;
   long axes[2] = { 4, 1 };
   double limits[4] = { -1.7e308, 0, 1.7e308, -0.85e308 };
   fits_create_diskfile( &f, PathOf( "limits.fits" ).c_str(), &status );
   fits_create_img( f, DOUBLE_IMG, 2, axes, &status );
   fits_write_img( f, TDOUBLE, 1, 4, limits, &status );
   fits_close_file( f, &status );
   host::ImageData image = host::ReadImageFile( PathOf( "limits.fits" ) );
   EXPECT_EQ( image.conversion,
              "64-bit floating-point samples from -1.7e+308 to 1.7e+308 scaled linearly from [-1.7e+308, 1.7e+308] to [0, 1]" );
   const double* scaled = reinterpret_cast<const double*>( image.channels[0].data() );
   EXPECT_EQ( std::vector<double>( scaled, scaled + 4 ), ( std::vector<double>{ 0, 0.5, 1, 0.25 } ) );
   Save( image, "limits-copy.fits" );
   ExpectSameImage( host::ReadImageFile( PathOf( "limits-copy.fits" ) ), image, "limits" );
}

// A TIFF file written by libtiff itself, 16-bit, samples k in file order
// (chunky: interleaved), in the layout asked for.
struct TiffLayout
{
   const char* name;
   uint16_t photometric;
   uint16_t samples;
   uint16_t planar;
   uint32_t tile;  // 0: strips of 3 rows
   uint16_t compression;
   uint16_t format;
};

void WriteRawTiff( const std::string& path, const TiffLayout& l, uint32_t width, uint32_t height )
{
   TIFF* t = TIFFOpen( path.c_str(), "w" );
   ASSERT_NE( t, nullptr );
   TIFFSetField( t, TIFFTAG_IMAGEWIDTH, width );
   TIFFSetField( t, TIFFTAG_IMAGELENGTH, height );
   TIFFSetField( t, TIFFTAG_SAMPLESPERPIXEL, l.samples );
   TIFFSetField( t, TIFFTAG_BITSPERSAMPLE, uint16_t( 16 ) );
   TIFFSetField( t, TIFFTAG_SAMPLEFORMAT, l.format );
   TIFFSetField( t, TIFFTAG_PHOTOMETRIC, l.photometric );
   TIFFSetField( t, TIFFTAG_PLANARCONFIG, l.planar );
   TIFFSetField( t, TIFFTAG_COMPRESSION, l.compression );
   const uint16_t colour = l.photometric == PHOTOMETRIC_RGB ? 3 : 1;
   if ( l.samples > colour )
   {
      std::vector<uint16_t> extra( l.samples - colour, EXTRASAMPLE_ASSOCALPHA );
      TIFFSetField( t, TIFFTAG_EXTRASAMPLES, uint16_t( extra.size() ), extra.data() );
   }
   const bool separate = l.planar == PLANARCONFIG_SEPARATE;
   const int perPixel = separate ? 1 : l.samples;
   // Sample (x, y, c) is y*1000 + x*10 + c.
   auto value = [&]( uint32_t x, uint32_t y, int c ) { return uint16_t( y * 1000 + x * 10 + c ); };
   const uint32_t bw = l.tile ? l.tile : width, bh = l.tile ? l.tile : 3;
   if ( l.tile )
   {
      TIFFSetField( t, TIFFTAG_TILEWIDTH, l.tile );
      TIFFSetField( t, TIFFTAG_TILELENGTH, l.tile );
   }
   else
      TIFFSetField( t, TIFFTAG_ROWSPERSTRIP, bh );
   for ( int plane = 0; plane < ( separate ? l.samples : 1 ); ++plane )
      for ( uint32_t y0 = 0; y0 < height; y0 += bh )
         for ( uint32_t x0 = 0; x0 < width; x0 += bw )
         {
            std::vector<uint16_t> block( size_t( bw ) * bh * perPixel, 0 );
            for ( uint32_t y = y0; y < std::min( height, y0 + bh ); ++y )
               for ( uint32_t x = x0; x < std::min( width, x0 + bw ); ++x )
                  for ( int c = 0; c < perPixel; ++c )
                     block[( size_t( y - y0 ) * bw + ( x - x0 ) ) * perPixel + c] = value( x, y, separate ? plane : c );
            if ( l.tile )
               TIFFWriteEncodedTile( t, TIFFComputeTile( t, x0, y0, 0, uint16_t( plane ) ), block.data(),
                                     tmsize_t( block.size() * 2 ) );
            else
               TIFFWriteEncodedStrip( t, TIFFComputeStrip( t, y0, uint16_t( plane ) ), block.data(),
                                      tmsize_t( size_t( bw ) * std::min( bh, height - y0 ) * perPixel * 2 ) );
         }
   TIFFClose( t );
}

TEST_F( ImageFileTest, TiffLayoutsAreReadInFileOrder )
{
   const TiffLayout layouts[] = {
      { "chunky strips", PHOTOMETRIC_RGB, 3, PLANARCONFIG_CONTIG, 0, COMPRESSION_NONE, SAMPLEFORMAT_UINT },
      { "planar strips", PHOTOMETRIC_RGB, 3, PLANARCONFIG_SEPARATE, 0, COMPRESSION_NONE, SAMPLEFORMAT_UINT },
      { "chunky tiles", PHOTOMETRIC_RGB, 3, PLANARCONFIG_CONTIG, 16, COMPRESSION_NONE, SAMPLEFORMAT_UINT },
      { "planar tiles, deflate", PHOTOMETRIC_RGB, 3, PLANARCONFIG_SEPARATE, 16, COMPRESSION_ADOBE_DEFLATE,
        SAMPLEFORMAT_UINT },
      { "gray, LZW", PHOTOMETRIC_MINISBLACK, 1, PLANARCONFIG_CONTIG, 0, COMPRESSION_LZW, SAMPLEFORMAT_UINT },
      { "RGB and alpha", PHOTOMETRIC_RGB, 4, PLANARCONFIG_CONTIG, 0, COMPRESSION_NONE, SAMPLEFORMAT_UINT },
      { "signed", PHOTOMETRIC_MINISBLACK, 1, PLANARCONFIG_CONTIG, 0, COMPRESSION_NONE, SAMPLEFORMAT_INT },
   };
   const uint32_t width = 40, height = 34; // partial tiles and strips at the edges
   for ( const TiffLayout& l : layouts )
   {
      const std::string path = PathOf( std::string( l.name ) + ".tif" );
      WriteRawTiff( path, l, width, height );
      const host::ImageData image = host::ReadImageFile( path );
      ASSERT_EQ( image.numberOfChannels, l.samples ) << l.name;
      EXPECT_EQ( image.colorSpace, l.photometric == PHOTOMETRIC_RGB ? 1 : 0 ) << l.name;
      const uint16_t shift = l.format == SAMPLEFORMAT_INT ? 0x8000 : 0;
      int wrong = 0;
      for ( int c = 0; c < l.samples; ++c )
         for ( uint32_t y = 0; y < height; ++y )
            for ( uint32_t x = 0; x < width; ++x )
               wrong += reinterpret_cast<const uint16_t*>( image.channels[c].data() )[y * width + x] !=
                        uint16_t( ( y * 1000 + x * 10 + c ) ^ shift );
      EXPECT_EQ( wrong, 0 ) << l.name;
   }
}

// A copy of a FITS file with one header card's value replaced.
std::string WithCard( const std::string& fits, const std::string& key, const std::string& value )
{
   std::string bytes = fits;
   const std::string name = ( key + "        " ).substr( 0, 8 ) + "= ";
   size_t at = 0;
   while ( at < bytes.size() && bytes.compare( at, 10, name ) != 0 )
      at += 80;
   EXPECT_LT( at, bytes.size() ) << key;
   if ( at < bytes.size() )
      bytes.replace( at + 10, 70, ( std::string( 20, ' ' ) + value ).substr( value.size() ) + std::string( 50, ' ' ) );
   return bytes;
}

// A little-endian TIFF file with one tag of its first directory set to another
// value.
std::string WithTag( std::string tiff, uint16_t tag, uint32_t value )
{
   auto read = [&]( size_t at, int bytes ) {
      uint32_t v = 0;
      std::memcpy( &v, tiff.data() + at, size_t( bytes ) );
      return v;
   };
   const size_t directory = read( 4, 4 );
   for ( uint32_t e = 0; e < read( directory, 2 ); ++e )
   {
      const size_t entry = directory + 2 + 12 * e;
      if ( read( entry, 2 ) == tag )
         std::memcpy( tiff.data() + entry + 8, &value, read( entry + 2, 2 ) == TIFF_SHORT ? 2 : 4 );
   }
   return tiff;
}

// An RGB 16-bit TIFF file whose first strip holds 12 bytes, whatever its rows
// need; the others are whole.
void WriteShortStripTiff( const std::string& path, uint32_t side, uint32_t rowsPerStrip, uint16_t compression )
{
   TIFF* t = TIFFOpen( path.c_str(), "w" );
   TIFFSetField( t, TIFFTAG_IMAGEWIDTH, side );
   TIFFSetField( t, TIFFTAG_IMAGELENGTH, side );
   TIFFSetField( t, TIFFTAG_SAMPLESPERPIXEL, uint16_t( 3 ) );
   TIFFSetField( t, TIFFTAG_BITSPERSAMPLE, uint16_t( 16 ) );
   TIFFSetField( t, TIFFTAG_PHOTOMETRIC, uint16_t( PHOTOMETRIC_RGB ) );
   TIFFSetField( t, TIFFTAG_COMPRESSION, compression );
   TIFFSetField( t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip );
   std::vector<char> strip( TIFFNumberOfStrips( t ) > 1 ? size_t( TIFFStripSize( t ) ) : 12, 0 );
   for ( uint32_t s = 0; s < TIFFNumberOfStrips( t ); ++s )
      TIFFWriteRawStrip( t, s, strip.data(), s == 0 ? 12 : tmsize_t( strip.size() ) );
   TIFFClose( t );
}

TEST_F( ImageFileTest, UnreadableFilesAreRefusedWithTheReason )
{
   host::ImageData good = Pattern( 64, 64, 1, 16, false, 7 );
   Save( good, "good.fits" );
   Save( good, "good.tif" );
   const std::string whole = Contents( PathOf( "good.fits" ) );
   m_dir.Write( "cut.fits", whole.substr( 0, 2880 + 1000 ) );
   m_dir.Write( "text.fits", "hello" );
   std::string noAxes;
   for ( const char* card : { "SIMPLE  =                    T", "BITPIX  =                   16", "END" } )
      noAxes += ( card + std::string( 80, ' ' ) ).substr( 0, 80 );
   m_dir.Write( "no-axes.fits", noAxes + std::string( 2880 - noAxes.size(), ' ' ) );
   for ( const auto& [name, key, value] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
            { "naxis1.fits", "NAXIS1", "0" },
            { "naxis2.fits", "NAXIS2", "0" },
            { "wide.fits", "NAXIS1", "3000000000" },
            { "bscale-nan.fits", "BSCALE", "NAN" },
            { "bscale-text.fits", "BSCALE", "'one'" },
            { "bzero-inf.fits", "BZERO", "INF" } } )
      m_dir.Write( name, WithCard( whole, key, value ) );
   const std::string rice = Contents( WriteRawFits( "rice.fits", USHORT_IMG, { 200, 150 }, 60000, true ) );
   for ( const auto& [name, key, value] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
            { "znaxis1.fits", "ZNAXIS1", "0" },
            { "ztile1.fits", "ZTILE1", "0" },
            { "ztile2.fits", "ZTILE2", "0" },
            { "blocksize.fits", "ZVAL1", "0" } } )
      m_dir.Write( name, WithCard( rice, key, value ) );
   m_dir.Write( "rice-cut.fits", rice.substr( 0, rice.size() - 2880 ) );
   WriteRawFits( "bitpix64.fits", LONGLONG_IMG, { 4, 4 }, 0 );
   WriteRawFits( "planes4.fits", SHORT_IMG, { 4, 4, 4 }, 0 );
   WriteRawFits( "cube.fits", SHORT_IMG, { 4, 4, 1, 2 }, 0 );
   {
      TIFF* t = TIFFOpen( PathOf( "bilevel.tif" ).c_str(), "w" );
      TIFFSetField( t, TIFFTAG_IMAGEWIDTH, 16u );
      TIFFSetField( t, TIFFTAG_IMAGELENGTH, 2u );
      TIFFSetField( t, TIFFTAG_BITSPERSAMPLE, uint16_t( 1 ) );
      TIFFSetField( t, TIFFTAG_SAMPLESPERPIXEL, uint16_t( 1 ) );
      TIFFSetField( t, TIFFTAG_PHOTOMETRIC, uint16_t( PHOTOMETRIC_MINISBLACK ) );
      unsigned char row[2] = { 0xF0, 0x0F };
      TIFFWriteScanline( t, row, 0, 0 );
      TIFFWriteScanline( t, row, 1, 0 );
      TIFFClose( t );
   }
   m_dir.Write( "rows0.tif", WithTag( Contents( PathOf( "good.tif" ) ), TIFFTAG_ROWSPERSTRIP, 0 ) );
   WriteShortStripTiff( PathOf( "short-strip.tif" ), 64, 32, COMPRESSION_NONE );
   WriteShortStripTiff( PathOf( "claims.tif" ), 30000, 30000, COMPRESSION_NONE );
   WriteShortStripTiff( PathOf( "claims-deflate.tif" ), 1000000, 1000000, COMPRESSION_ADOBE_DEFLATE );
   ASSERT_EQ( ::mkfifo( PathOf( "fifo.fits" ).c_str(), 0600 ), 0 );
   fs::create_symlink( "/dev/null", PathOf( "null.fits" ) );
   fs::create_directory( PathOf( "directory.fits" ) );
   const struct
   {
      const char* name;
      std::string message; // what the message starts with, after the file's name
   } cases[] = {
      { "cut.fits", ": the file is cut short: 3880 bytes, the image needs 11072" },
      { "text.fits", ": neither a FITS nor a TIFF file" },
      { "missing.fits", ": cannot open the file: No such file or directory" },
      { "bitpix64.fits", ": FITS BITPIX 64 is not supported (8, 16, 32, -32 and -64 are)" },
      { "planes4.fits", ": a FITS image of 4 planes is not supported (1 or 3 are)" },
      { "cube.fits", ": a FITS image of 4 axes is not supported (2 or 3 are)" },
      { "bilevel.tif",
        ": TIFF images of 1-bit integer samples are not supported (8, 16 or 32-bit integers, 32 or 64-bit floats are)" },
      { "naxis1.fits", ": the image is empty: 0 x 64 pixels" },
      { "naxis2.fits", ": the image is empty: 64 x 0 pixels" },
      { "znaxis1.fits", ": the image is empty: 0 x 150 pixels" },
      { "bscale-nan.fits", ": BSCALE = NAN is not a finite number" },
      { "bscale-text.fits", ": BSCALE = 'one' is not a finite number" },
      { "bzero-inf.fits", ": BZERO = INF is not a finite number" },
      { "ztile1.fits", ": the compressed image's tile size ZTILE1 = 0 is not a positive whole number" },
      { "ztile2.fits", ": the compressed image's tile size ZTILE2 = 0 is not a positive whole number" },
      { "blocksize.fits", ": the compressed image's Rice block size ZVAL1 = 0 is not a positive whole number" },
      // cfitsio's own account of the error, not only its number.
      { "rice-cut.fits",
        ": FITS error 107: tried to move past end of file (Error reading elements 1 thru 87 from column 1 (ffgclb).; "
        "error reading compressed byte stream from binary table" },
      { "no-axes.fits", ": FITS error 223: third keyword not NAXIS (ffgtkn found unexpected keyword or value for "
                        "keyword no. 3. Expected positive integer keyword NAXIS, but instead found keyword END with "
                        "value; ffopen could not interpret primary array header of file: " + PathOf( "no-axes.fits" ) + ")" },
      { "rows0.tif", ": Bad value 0 for \"RowsPerStrip\" tag" },
      { "short-strip.tif", ": the file is damaged: strip 0 holds 12 bytes of its 12288" },
      { "claims.tif", ": the file is cut short: 140 bytes, the image needs 5400000008" },
      { "wide.fits", ": the image is too large: 3000000000 x 64 pixels (at most 2147483647 on a side)" },
      { "claims-deflate.tif", ": the image is too large: 1000000 x 1000000 pixels, 3 channels of 16-bit integer "
                              "samples (6000000 MB); " },
      { "fifo.fits", ": not a regular file but a FIFO" },
      { "null.fits", ": not a regular file but a device" },
      { "directory.fits", ": not a regular file but a directory" },
   };
   for ( const auto& c : cases )
   {
      const std::string error = ErrorOf( [&] { host::ReadImageFile( PathOf( c.name ) ); } );
      EXPECT_EQ( error.substr( 0, PathOf( c.name ).size() + c.message.size() ), PathOf( c.name ) + c.message );
   }
   // A double exponent is a number in FITS.
   m_dir.Write( "bscale-d.fits", WithCard( whole, "BSCALE", "1.0D0" ) );
   ExpectSameImage( host::ReadImageFile( PathOf( "bscale-d.fits" ) ), good, "BSCALE 1.0D0" );
   // Memory that runs out is told, never as std::bad_alloc.
   EXPECT_EQ( ErrorOf( [&] {
                 host::ReadImageFile( PathOf( "good.tif" ), []( const host_image_desc& ) -> host_image_desc {
                    throw std::bad_alloc();
                 } );
              } ),
              PathOf( "good.tif" ) + ": not enough memory to open the image: 64 x 64 pixels, 1 channel of 16-bit integer "
                                     "samples (1 MB)" );
}

TEST_F( ImageFileTest, SavingNeverReplacesAFileUnlessTold )
{
   host::ImageData first = Pattern( 8, 8, 1, 8, false, 1 );
   host::ImageData second = Pattern( 8, 8, 1, 8, false, 2 );
   host::ImageData rgba = Pattern( 8, 8, 4, 8, false, 3 );
   Save( first, "a.tif" );
   Save( first, "b.fits" );
   fs::create_directory( PathOf( "dir.fits" ) );
   const std::string before = Contents( PathOf( "a.tif" ) );
   const struct
   {
      const char* name;
      host::ImageData* image;
      bool overwrite;
      const char* message;
   } refusals[] = {
      { "a.tif", &second, false, ": the file exists already; it is not overwritten" },
      { "b.fits", &second, false, ": the file exists already; it is not overwritten" },
      { "c.png", &second, true, ": unknown file type; the name must end in .fits, .fit, .fts, .tif or .tiff" },
      { "d.fits", &rgba, false, ": FITS files are written with 1 or 3 channels; the image has 4" },
      { "missing/e.fits", &second, false, ": cannot create a temporary file beside it: No such file or directory" },
      { "dir.fits", &second, true, ": cannot rename the written file to it: Is a directory" },
   };
   for ( const auto& r : refusals )
      EXPECT_EQ( ErrorOf( [&] { Save( *r.image, r.name, r.overwrite ); } ), PathOf( r.name ) + r.message );
   EXPECT_EQ( Contents( PathOf( "a.tif" ) ), before );
   EXPECT_EQ( Files(), ( std::vector<std::string>{ "a.tif", "b.fits", "dir.fits" } ) );

   Save( second, "a.tif", true );
   ExpectSameImage( host::ReadImageFile( PathOf( "a.tif" ) ), second, "replaced" );
   Save( rgba, "rgba.tiff" );
   ExpectSameImage( host::ReadImageFile( PathOf( "rgba.tiff" ) ), rgba, "alpha kept" );
   EXPECT_EQ( Files(), ( std::vector<std::string>{ "a.tif", "b.fits", "dir.fits", "rgba.tiff" } ) );
}

} // namespace
