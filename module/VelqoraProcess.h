#ifndef VELQORA_PROCESS_H
#define VELQORA_PROCESS_H

#include "platform/process/MetaProcess.h"

namespace pcl
{

// The module's process: its metadata, its parameters, the making of its
// instances and its command line.
class VelqoraProcess : public MetaProcess
{
public:
   // Sets TheVelqoraProcess, then makes the five parameters.
   VelqoraProcess();

   IsoString Id() const override;
   IsoString Category() const override;
   uint32_t Version() const override;
   String Description() const override;
   const char** IconImageXPM() const override;
   bool CanProcessCommandLines() const override;
   ProcessImplementation* Create() const override;
   ProcessImplementation* Clone( const ProcessImplementation& source ) const override;
   // "Velqora [<arg_list>] [<view_list>]": runs the listed views, or the
   // current view, with the default parameters. Throws Error on failure.
   int ProcessCommandLine( const StringList& arguments ) const override;
};

extern VelqoraProcess* TheVelqoraProcess;

} // pcl

#endif
