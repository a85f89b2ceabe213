#ifndef VELQORA_TESTS_SCRATCH_DIRECTORY_H
#define VELQORA_TESTS_SCRATCH_DIRECTORY_H

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

// A directory of the test's own under the system's temporary directory,
// removed with everything in it when the test ends.
class ScratchDirectory
{
public:
   ScratchDirectory()
   {
      std::string name = ( std::filesystem::temp_directory_path() / "velqora-test-XXXXXX" ).string();
      if ( ::mkdtemp( name.data() ) == nullptr )
         throw std::filesystem::filesystem_error( "mkdtemp", name, std::error_code( errno, std::generic_category() ) );
      m_path = name;
   }

   ~ScratchDirectory()
   {
      std::error_code ignored;
      std::filesystem::remove_all( m_path, ignored );
   }

   ScratchDirectory( const ScratchDirectory& ) = delete;
   ScratchDirectory& operator=( const ScratchDirectory& ) = delete;

   const std::filesystem::path& Path() const noexcept { return m_path; }

   // Writes the bytes to a file of the directory; returns its full path.
   std::filesystem::path Write( const std::string& name, std::string_view bytes ) const
   {
      std::filesystem::path path = m_path / name;
      std::ofstream file( path, std::ios::binary | std::ios::trunc );
      file.write( bytes.data(), std::streamsize( bytes.size() ) );
      file.close();
      if ( !file )
         throw std::filesystem::filesystem_error( "write", path, std::make_error_code( std::errc::io_error ) );
      return path;
   }

private:
   std::filesystem::path m_path;
};

// The bytes of a file.
inline std::string Contents( const std::filesystem::path& path )
{
   std::ifstream file( path, std::ios::binary );
   return { std::istreambuf_iterator<char>( file ), {} };
}

// Makes a directory the process's working directory for its lifetime and
// restores the previous one, also when the test fails.
class WorkingDirectory
{
public:
   explicit WorkingDirectory( const std::filesystem::path& path ) : m_previous( std::filesystem::current_path() )
   {
      std::filesystem::current_path( path );
   }

   ~WorkingDirectory()
   {
      std::error_code error;
      std::filesystem::current_path( m_previous, error );
      EXPECT_FALSE( error ) << "working directory not restored: " << error.message();
   }

   WorkingDirectory( const WorkingDirectory& ) = delete;
   WorkingDirectory& operator=( const WorkingDirectory& ) = delete;

private:
   std::filesystem::path m_previous;
};

#endif
