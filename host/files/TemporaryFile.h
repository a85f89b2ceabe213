#ifndef VELQORA_HOST_TEMPORARY_FILE_H
#define VELQORA_HOST_TEMPORARY_FILE_H

#include <string>

namespace host
{

// A name beside the target for the file being written, removed unless the
// file was committed to its target.
//
// While one exists and its commit has not begun, a handler of SIGINT or
// SIGTERM can abandon the save (AbandonSave). The file and the handler's
// record of it change together, with those signals held back on the thread
// that makes and commits it, which must be the thread that handles them.
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
   bool m_abandonable = false; // AbandonSave knows this file
};

// For a handler of SIGINT or SIGTERM that leaves the process at once: removes
// the temporary file of the save in progress and gives the save's target,
// which is as it was; null when no save can be abandoned. Only calls that
// are safe in a signal handler.
const char* AbandonSave() noexcept;

} // host

#endif
