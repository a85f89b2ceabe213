#include "host/files/FitsFile.h"

#include "host/files/SampleType.h"

#include <fitsio.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>

namespace host
{

namespace
{

struct FitsCloser
{
   void operator()( fitsfile* file ) const noexcept
   {
      int status = 0;
      fits_close_file( file, &status );
   }
};
using FitsHandle = std::unique_ptr<fitsfile, FitsCloser>;

[[noreturn]] void ThrowFitsError( const std::string& path, int status )
{
   char text[FLEN_STATUS] = {};
   fits_get_errstatus( status, text );
   fits_clear_errmsg();
   throw std::runtime_error( path + ": FITS error " + std::to_string( status ) + ": " + text );
}

void Check( const std::string& path, int status )
{
   if ( status != 0 )
      ThrowFitsError( path, status );
}

// The keywords of the data's own structure, or of values that the samples
// no longer have once copied: written anew with the data, never carried over.
bool IsStructural( const std::string& card )
{
   static const std::set<std::string> names = { "SIMPLE", "XTENSION", "BITPIX", "NAXIS",    "EXTEND",  "PCOUNT",
                                                "GCOUNT", "BZERO",    "BSCALE", "BLANK",    "DATAMIN", "DATAMAX",
                                                "CHECKSUM", "DATASUM", "END" };
   std::string name = card.substr( 0, 8 );
   name.erase( name.find_last_not_of( ' ' ) + 1 );
   if ( name.starts_with( "NAXIS" ) )
      return true;
   return names.count( name ) != 0;
}

std::string Trimmed( std::string card )
{
   card.erase( card.find_last_not_of( ' ' ) + 1 );
   return card;
}

// cfitsio's data type code for reading or writing samples of type T.
template <typename T>
int DataType()
{
   if constexpr ( std::is_same_v<T, uint8_t> )
      return TBYTE;
   else if constexpr ( std::is_same_v<T, int8_t> )
      return TSBYTE;
   else if constexpr ( std::is_same_v<T, uint16_t> )
      return TUSHORT;
   else if constexpr ( std::is_same_v<T, int16_t> )
      return TSHORT;
   else if constexpr ( std::is_same_v<T, uint32_t> )
      return TUINT;
   else if constexpr ( std::is_same_v<T, int32_t> )
      return TINT;
   else if constexpr ( std::is_same_v<T, float> )
      return TFLOAT;
   else
      return TDOUBLE;
}

struct Format
{
   int bitsPerSample;
   bool isFloat;
   bool isSigned;
   int dataType; // cfitsio's type code to read the samples as
};

// The image's samples as their BZERO/BSCALE make them ("equivalent type").
bool FormatOf( int equivalentType, Format& format )
{
   switch ( equivalentType )
   {
   case BYTE_IMG: format = { 8, false, false, TBYTE }; return true;
   case SBYTE_IMG: format = { 8, false, true, TSBYTE }; return true;
   case USHORT_IMG: format = { 16, false, false, TUSHORT }; return true;
   case SHORT_IMG: format = { 16, false, true, TSHORT }; return true;
   case ULONG_IMG: format = { 32, false, false, TUINT }; return true;
   case LONG_IMG: format = { 32, false, true, TINT }; return true;
   case FLOAT_IMG: format = { 32, true, false, TFLOAT }; return true;
   case DOUBLE_IMG: format = { 64, true, false, TDOUBLE }; return true;
   default: return false;
   }
}

} // namespace

ImageData ReadFitsFile( const std::string& path )
{
   int status = 0;
   fitsfile* raw = nullptr;
   fits_open_diskfile( &raw, path.c_str(), READONLY, &status );
   FitsHandle file( status == 0 ? raw : nullptr );
   Check( path, status );

   // The first HDU with image data: the primary one may hold only a header.
   int hduCount = 0, naxis = 0;
   fits_get_num_hdus( file.get(), &hduCount, &status );
   for ( int hdu = 1; hdu <= hduCount && status == 0; ++hdu )
   {
      int type = 0;
      fits_movabs_hdu( file.get(), hdu, &type, &status );
      if ( status == 0 && type == IMAGE_HDU )
         fits_get_img_dim( file.get(), &naxis, &status );
      if ( naxis > 0 )
         break;
   }
   Check( path, status );
   if ( naxis == 0 )
      throw std::runtime_error( path + ": the FITS file holds no image" );
   if ( naxis < 2 || naxis > 3 )
      throw std::runtime_error( path + ": a FITS image of " + std::to_string( naxis ) +
                                " axes is not supported (2 or 3 are)" );
   long naxes[3] = { 1, 1, 1 };
   int bitpix = 0, equivalent = 0;
   fits_get_img_size( file.get(), 3, naxes, &status );
   fits_get_img_type( file.get(), &bitpix, &status );
   fits_get_img_equivtype( file.get(), &equivalent, &status );
   Check( path, status );
   Format format;
   if ( !FormatOf( equivalent, format ) )
      throw std::runtime_error( path + ": FITS BITPIX " + std::to_string( bitpix ) +
                                " is not supported (8, 16, 32, -32 and -64 are)" );
   if ( naxes[2] != 1 && naxes[2] != 3 )
      throw std::runtime_error( path + ": a FITS image of " + std::to_string( naxes[2] ) +
                                " planes is not supported (1 or 3 are)" );
   if ( naxes[0] > 1000000 || naxes[1] > 1000000 )
      throw std::runtime_error( path + ": the FITS image is too large" );
   // cfitsio reads a short file's missing samples as a read error; tell what it is.
   LONGLONG headerStart = 0, dataStart = 0, dataEnd = 0;
   fits_get_hduaddrll( file.get(), &headerStart, &dataStart, &dataEnd, &status );
   Check( path, status );
   const uintmax_t needed = uintmax_t( dataStart ) + uintmax_t( naxes[0] * naxes[1] * naxes[2] ) * ( std::abs( bitpix ) / 8 );
   std::error_code error;
   const uintmax_t size = std::filesystem::file_size( path, error );
   // A tile-compressed image's data are a table of another size.
   if ( !error && size < needed && !fits_is_compressed_image( file.get(), &status ) )
      throw std::runtime_error( path + ": the file is cut short: " + std::to_string( size ) + " bytes, the image needs " +
                                std::to_string( needed ) );

   ImageData image;
   image.Allocate( int( naxes[0] ), int( naxes[1] ), int( naxes[2] ), naxes[2] == 3 ? 1 : 0, format.bitsPerSample,
                   format.isFloat );
   for ( int p = 0; p < image.numberOfChannels; ++p )
   {
      long first[3] = { 1, 1, p + 1 };
      int anyNull = 0;
      fits_read_pix( file.get(), format.dataType, first, long( naxes[0] * naxes[1] ), nullptr,
                     image.channels[p].data(), &anyNull, &status );
      Check( path, status );
   }

   int keyCount = 0;
   fits_get_hdrspace( file.get(), &keyCount, nullptr, &status );
   for ( int k = 1; k <= keyCount && status == 0; ++k )
   {
      char card[FLEN_CARD] = {};
      fits_read_record( file.get(), k, card, &status );
      if ( status == 0 && !IsStructural( card ) )
         image.keywords.emplace_back( card );
   }
   Check( path, status );

   BringIntoRange( image, format.isSigned, path );
   return image;
}

void WriteFitsFile( const std::string& path, const host_image_desc& image, const std::vector<std::string>& keywords )
{
   const int planes = image.numberOfChannels;
   if ( planes != 1 && planes != 3 )
      throw std::runtime_error( path + ": FITS files are written with 1 or 3 channels; the image has " +
                                std::to_string( planes ) );
   int status = 0;
   fitsfile* raw = nullptr;
   fits_create_diskfile( &raw, path.c_str(), &status );
   FitsHandle file( status == 0 ? raw : nullptr );
   Check( path, status );

   WithSampleType( image.bitsPerSample, image.isFloatSample != 0, [&]<typename T>( T ) {
      int bitpix = 0;
      if constexpr ( std::is_same_v<T, uint8_t> )
         bitpix = BYTE_IMG;
      else if constexpr ( std::is_same_v<T, uint16_t> )
         bitpix = USHORT_IMG; // cfitsio writes BZERO 32768
      else if constexpr ( std::is_same_v<T, uint32_t> )
         bitpix = ULONG_IMG; // BZERO 2147483648
      else if constexpr ( std::is_same_v<T, float> )
         bitpix = FLOAT_IMG;
      else
         bitpix = DOUBLE_IMG;
      long naxes[3] = { image.width, image.height, planes };
      fits_create_img( file.get(), bitpix, planes == 1 ? 2 : 3, naxes, &status );
      // cfitsio's own comment cards come with every new header: not twice.
      std::set<std::string> written;
      int count = 0;
      fits_get_hdrspace( file.get(), &count, nullptr, &status );
      for ( int k = 1; k <= count && status == 0; ++k )
      {
         char card[FLEN_CARD] = {};
         fits_read_record( file.get(), k, card, &status );
         written.insert( Trimmed( card ) );
      }
      for ( const std::string& card : keywords )
         if ( !IsStructural( card ) && !written.count( Trimmed( card ) ) )
            fits_write_record( file.get(), card.c_str(), &status );
      for ( int p = 0; p < planes && status == 0; ++p )
      {
         long first[3] = { 1, 1, p + 1 };
         fits_write_pix( file.get(), DataType<T>(), first, long( image.width ) * image.height, image.channels[p],
                         &status );
      }
   } );
   Check( path, status );
   fitsfile* closing = file.release();
   fits_close_file( closing, &status );
   Check( path, status );
}

} // host
