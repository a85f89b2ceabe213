#include "host/files/FitsFile.h"

#include "host/files/SampleType.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string_view>

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

// The error with cfitsio's own account of it: the messages it stacked on the
// way, oldest first; a line that goes on with a blank or after a colon
// continues the one before.
[[noreturn]] void ThrowFitsError( const std::string& path, int status )
{
   char text[FLEN_STATUS] = {};
   fits_get_errstatus( status, text );
   std::string account;
   for ( char line[FLEN_ERRMSG] = {}; fits_read_errmsg( line ) != 0; )
   {
      std::string_view l = line;
      const bool continued = l.starts_with( ' ' ) || account.ends_with( ':' );
      l.remove_prefix( std::min( l.size(), l.find_first_not_of( ' ' ) ) );
      l.remove_suffix( l.size() - std::min( l.size(), l.find_last_not_of( " \n" ) + 1 ) );
      if ( !l.empty() && l != text )
         account += ( account.empty() ? "" : continued ? " " : "; " ) + std::string( l );
   }
   const std::string message = path + ": FITS error " + std::to_string( status ) + ": " + text;
   throw std::runtime_error( account.empty() ? message : message + " (" + account + ")" );
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

// A header card's value as written: up to its comment, without the blanks.
std::string ValueText( std::string_view card )
{
   std::string_view value = card.substr( std::min<size_t>( card.size(), 10 ) );
   bool quoted = false;
   size_t end = 0;
   for ( ; end < value.size() && ( quoted || value[end] != '/' ); ++end )
      quoted ^= value[end] == '\'';
   value = value.substr( 0, end );
   const size_t first = value.find_first_not_of( ' ' );
   if ( first == std::string_view::npos )
      return "";
   return std::string( value.substr( first, value.find_last_not_of( ' ' ) - first + 1 ) );
}

// A string value without its quotes and trailing blanks.
std::string Unquoted( std::string value )
{
   if ( value.size() < 2 || value.front() != '\'' || value.back() != '\'' )
      return value;
   value = value.substr( 1, value.size() - 2 );
   value.erase( value.find_last_not_of( ' ' ) + 1 );
   return value;
}

bool PositiveInteger( const std::string& text )
{
   char* end = nullptr;
   const long long v = std::strtoll( text.c_str(), &end, 10 );
   return !text.empty() && *end == '\0' && v > 0;
}

// cfitsio divides by the tile sizes and the Rice block size of a
// tile-compressed image as soon as it reads the header: every header of the
// file is checked before cfitsio sees any. A file that ends early is left for
// cfitsio to tell.
void CheckCompressionKeywords( const std::string& path )
{
   constexpr size_t block = 2880, card = 80;
   std::ifstream file( path, std::ios::binary );
   std::error_code error;
   const uintmax_t size = std::filesystem::file_size( path, error );
   for ( uintmax_t offset = 0; !error && offset < size; )
   {
      std::map<std::string, std::string> values;
      for ( bool end = false; !end; )
      {
         char cards[block];
         if ( !file.seekg( std::streamoff( offset ) ) || !file.read( cards, block ) )
            return;
         offset += block;
         for ( size_t c = 0; c < block && !end; c += card )
         {
            const std::string_view text( cards + c, card );
            std::string name( text.substr( 0, 8 ) );
            name.erase( name.find_last_not_of( ' ' ) + 1 );
            end = name == "END";
            if ( text.substr( 8, 2 ) == "= " )
               values[name] = ValueText( text );
         }
      }
      if ( values["ZIMAGE"] == "T" )
      {
         const std::string type = Unquoted( values["ZCMPTYPE"] );
         const bool rice = type == "RICE_1" || type == "RICE_ONE";
         for ( const auto& [name, value] : values )
         {
            const bool tile = name.starts_with( "ZTILE" );
            const bool riceBlock = rice && name.starts_with( "ZNAME" ) && Unquoted( value ) == "BLOCKSIZE";
            const std::string key = riceBlock ? "ZVAL" + name.substr( 5 ) : name;
            if ( ( tile || riceBlock ) && values.count( key ) && !PositiveInteger( values[key] ) )
               throw std::runtime_error( path + ": the compressed image's " + ( tile ? "tile size " : "Rice block size " ) +
                                         key + " = " + values[key] + " is not a positive whole number" );
         }
      }
      // The data after the header: its size from the axes.
      auto count = [&]( const std::string& name, long long absent ) {
         return values.count( name ) ? uintmax_t( std::max( 0ll, std::atoll( values[name].c_str() ) ) )
                                     : uintmax_t( absent );
      };
      uintmax_t elements = 0;
      const uintmax_t axes = count( "NAXIS", 0 );
      if ( axes > 999 )
         return;
      for ( uintmax_t a = 1; a <= axes; ++a )
         if ( __builtin_mul_overflow( a == 1 ? 1 : elements, count( "NAXIS" + std::to_string( a ), 0 ), &elements ) )
            return;
      const uintmax_t pcount = count( "PCOUNT", 0 ), gcount = count( "GCOUNT", 1 );
      const long long bitpix = std::atoll( values["BITPIX"].c_str() );
      if ( bitpix < -64 || bitpix > 64 )
         return;
      const uintmax_t bytes = uintmax_t( std::abs( bitpix ) / 8 );
      uintmax_t data = 0;
      if ( __builtin_add_overflow( elements, pcount, &data ) || __builtin_mul_overflow( data, bytes, &data ) ||
           __builtin_mul_overflow( data, gcount, &data ) || data > size )
         return;
      offset += ( data + block - 1 ) / block * block;
   }
}

// cfitsio takes a BSCALE or BZERO that is not a number for 1 or 0: the samples
// would be read as something else.
void CheckScaling( fitsfile* file, const std::string& path )
{
   for ( const char* name : { "BSCALE", "BZERO" } )
   {
      int status = 0;
      char value[FLEN_VALUE] = {};
      fits_read_keyword( file, name, value, nullptr, &status );
      if ( status == KEY_NO_EXIST )
      {
         fits_clear_errmsg();
         continue;
      }
      Check( path, status );
      std::string number = value;
      std::replace( number.begin(), number.end(), 'D', 'E' ); // FITS's double exponent
      char* end = nullptr;
      const double v = std::strtod( number.c_str(), &end );
      if ( number.empty() || *end != '\0' || !std::isfinite( v ) )
         throw std::runtime_error( path + ": " + name + " = " + value + " is not a finite number" );
   }
}

} // namespace

ImageFileInfo ReadFitsFile( const std::string& path, const ImageAllocator& allocate )
{
   CheckCompressionKeywords( path );
   fits_clear_errmsg(); // what earlier files left
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
   Check( path, status );
   CheckScaling( file.get(), path );
   fits_get_img_equivtype( file.get(), &equivalent, &status );
   Check( path, status );
   Format format;
   if ( !FormatOf( equivalent, format ) )
      throw std::runtime_error( path + ": FITS BITPIX " + std::to_string( bitpix ) +
                                " is not supported (8, 16, 32, -32 and -64 are)" );
   if ( naxes[2] != 1 && naxes[2] != 3 )
      throw std::runtime_error( path + ": a FITS image of " + std::to_string( naxes[2] ) +
                                " planes is not supported (1 or 3 are)" );
   const host_image_desc shape =
      CheckedImageFormat( path, uintmax_t( std::max( naxes[0], 0l ) ), uintmax_t( std::max( naxes[1], 0l ) ),
                          int( naxes[2] ), naxes[2] == 3 ? 1 : 0, format.bitsPerSample, format.isFloat );
   // cfitsio reads a short file's missing samples as a read error; tell what it is.
   LONGLONG headerStart = 0, dataStart = 0, dataEnd = 0;
   fits_get_hduaddrll( file.get(), &headerStart, &dataStart, &dataEnd, &status );
   Check( path, status );
   host_image_desc stored = shape; // as the file has the samples
   stored.bitsPerSample = std::abs( bitpix );
   const uintmax_t needed = uintmax_t( dataStart ) + ImageBytes( stored );
   std::error_code error;
   const uintmax_t size = std::filesystem::file_size( path, error );
   // A tile-compressed image's data are a table of another size.
   if ( !error && size < needed && !fits_is_compressed_image( file.get(), &status ) )
      throw std::runtime_error( path + ": the file is cut short: " + std::to_string( size ) + " bytes, the image needs " +
                                std::to_string( needed ) );
   CheckMemoryFor( path, shape );

   const host_image_desc image = allocate( shape );
   for ( int p = 0; p < image.numberOfChannels; ++p )
   {
      long first[3] = { 1, 1, p + 1 };
      int anyNull = 0;
      fits_read_pix( file.get(), format.dataType, first, long( image.width ) * image.height, nullptr,
                     image.channels[p], &anyNull, &status );
      Check( path, status );
   }

   ImageFileInfo info;
   int keyCount = 0;
   fits_get_hdrspace( file.get(), &keyCount, nullptr, &status );
   for ( int k = 1; k <= keyCount && status == 0; ++k )
   {
      char card[FLEN_CARD] = {};
      fits_read_record( file.get(), k, card, &status );
      if ( status == 0 && !IsStructural( card ) )
         info.keywords.emplace_back( card );
   }
   Check( path, status );

   info.conversion = BringIntoRange( image, format.isSigned, path );
   return info;
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
