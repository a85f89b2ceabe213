#ifndef VELQORA_HOST_TERMINAL_H
#define VELQORA_HOST_TERMINAL_H

#include <string>
#include <string_view>

namespace host
{

// Shows console text (UTF-8, with the console's markup) on a file descriptor
// as the platform's console shows it: "<br>" breaks the line, "<cbr>" breaks
// it unless it is empty, "<end>" is no more than a position, and text
// between "<raw>" and "</raw>" is taken as it is. On a terminal the colour
// escapes stay and backspaces rewrite the progress percentage in place; into
// a pipe or a file, colours are dropped and each line is written once it is
// complete, as the backspaces left it.
class Terminal
{
public:
   Terminal( int fd, bool isTerminal ) noexcept : m_fd( fd ), m_terminal( isTerminal ) {}

   void Write( std::string_view text );
   // Ends an unfinished line.
   void Finish();

private:
   int m_fd;
   bool m_terminal;
   bool m_raw = false;
   bool m_lineEmpty = true;
   std::string m_line; // not a terminal: the line being built
   std::string m_out;  // a terminal: what one Write shows

   void Put( char c );
   void Flush();
};

} // host

#endif
