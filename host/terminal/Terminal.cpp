#include "host/terminal/Terminal.h"

#include <cerrno>
#include <unistd.h>

namespace host
{

namespace
{

void WriteAll( int fd, std::string_view bytes )
{
   while ( !bytes.empty() )
   {
      const ssize_t n = ::write( fd, bytes.data(), bytes.size() );
      if ( n < 0 && errno == EINTR )
         continue;
      if ( n <= 0 )
         return; // a closed output: nothing to tell it
      bytes.remove_prefix( size_t( n ) );
   }
}

// The length of the escape sequence at the start of `text` (ESC '[', then
// parameters up to a final byte), or of the lone ESC.
size_t EscapeLength( std::string_view text )
{
   if ( text.size() < 2 || text[1] != '[' )
      return 1;
   size_t i = 2;
   while ( i < text.size() && !( text[i] >= 0x40 && text[i] <= 0x7E ) )
      ++i;
   return std::min( i + 1, text.size() );
}

} // namespace

void Terminal::Put( char c )
{
   if ( m_terminal )
      m_out += c;
   else if ( c == '\b' )
   {
      if ( !m_line.empty() )
         m_line.pop_back();
   }
   else if ( c == '\r' )
      m_line.clear();
   else
   {
      m_line += c;
      if ( c == '\n' )
      {
         WriteAll( m_fd, m_line );
         m_line.clear();
      }
   }
   if ( c == '\n' )
      m_lineEmpty = true;
   else if ( c != '\b' && c != '\r' )
      m_lineEmpty = false;
}

void Terminal::Flush()
{
   WriteAll( m_fd, m_out );
   m_out.clear();
}

void Terminal::Write( std::string_view text )
{
   while ( !text.empty() )
   {
      if ( m_raw )
      {
         const size_t end = text.find( "</raw>" );
         for ( char c : text.substr( 0, end ) )
            Put( c );
         if ( end == std::string_view::npos )
            break;
         m_raw = false;
         text.remove_prefix( end + 6 );
         continue;
      }
      if ( text.starts_with( "<end>" ) )
         text.remove_prefix( 5 );
      else if ( text.starts_with( "<cbr>" ) )
      {
         if ( !m_lineEmpty )
            Put( '\n' );
         text.remove_prefix( 5 );
      }
      else if ( text.starts_with( "<br>" ) )
      {
         Put( '\n' );
         text.remove_prefix( 4 );
      }
      else if ( text.starts_with( "<raw>" ) )
      {
         m_raw = true;
         text.remove_prefix( 5 );
      }
      else if ( text.starts_with( "</raw>" ) )
         text.remove_prefix( 6 );
      else if ( text[0] == '\033' )
      {
         const size_t n = EscapeLength( text );
         if ( m_terminal )
            m_out += text.substr( 0, n );
         text.remove_prefix( n );
      }
      else
      {
         Put( text[0] );
         text.remove_prefix( 1 );
      }
   }
   Flush();
}

void Terminal::Finish()
{
   if ( !m_lineEmpty || !m_line.empty() )
      Put( '\n' );
   Flush();
}

} // host
