#ifndef VELQORA_HOST_TEMPORARY_FILE_H
#define VELQORA_HOST_TEMPORARY_FILE_H

#include <string>

namespace host
{

// A name beside the target for the file being written, removed unless the
// file was committed to its target.
class TemporaryFile
{
public:
   // Throws std::runtime_error naming the target.
   explicit TemporaryFile( const std::string& target );
   ~TemporaryFile();

   TemporaryFile( const TemporaryFile& ) = delete;
   TemporaryFile& operator=( const TemporaryFile& ) = delete;

   const std::string& Path() const noexcept { return m_path; }

   // Makes the written file durable and gives it the target's name; an
   // existing target is replaced only when `overwrite` is set.
   void Commit( const std::string& target, bool overwrite );

private:
   std::string m_path;
   bool m_committed = false;
};

} // host

#endif
