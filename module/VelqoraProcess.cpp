#include "module/VelqoraProcess.h"

#include "module/VelqoraIcon.h"
#include "module/VelqoraInstance.h"
#include "module/VelqoraParameters.h"
#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"
#include "platform/image/ImageWindow.h"
#include "platform/image/View.h"
#include "platform/process/Argument.h"

namespace pcl
{

VelqoraProcess* TheVelqoraProcess = nullptr;

namespace
{

void ShowHelp()
{
   Console::Write( "<raw>Usage: Velqora [<arg_list>] [<view_list>]\n"
                   "\n"
                   "--interface\n"
                   "\n"
                   "      Launches the interface of this process.\n"
                   "\n"
                   "--help\n"
                   "\n"
                   "      Displays this help and exits.</raw>" );
}

} // namespace

VelqoraProcess::VelqoraProcess()
{
   TheVelqoraProcess = this;
   // Attached to this process, which owns them from here on.
   new VelqoraLinear( this );
   new VelqoraModelVersion( this );
   new VelqoraAmount( this );
   new VelqoraShadowsClipping( this );
   new VelqoraTargetBackground( this );
}

IsoString VelqoraProcess::Id() const
{
   return "Velqora";
}

IsoString VelqoraProcess::Category() const
{
   return IsoString();
}

uint32_t VelqoraProcess::Version() const
{
   return 0x100;
}

String VelqoraProcess::Description() const
{
   return "<html><p>A neural network removing stars from stretched images.</p></html>";
}

const char** VelqoraProcess::IconImageXPM() const
{
   return VelqoraIcon_XPM;
}

bool VelqoraProcess::CanProcessCommandLines() const
{
   return true;
}

ProcessImplementation* VelqoraProcess::Create() const
{
   return new VelqoraInstance( this );
}

ProcessImplementation* VelqoraProcess::Clone( const ProcessImplementation& source ) const
{
   const auto* instance = dynamic_cast<const VelqoraInstance*>( &source );
   return instance != nullptr ? new VelqoraInstance( *instance ) : nullptr;
}

int VelqoraProcess::ProcessCommandLine( const StringList& argv ) const
{
   const ArgumentList arguments =
      ExtractArguments( argv, ArgumentItemMode::AsViews, ArgumentOption::AllowWildcards );

   VelqoraInstance instance( this );
   bool launchInterface = false;
   int viewListCount = 0;

   for ( const Argument& arg : arguments )
   {
      if ( arg.IsNumeric() )
         throw Error( "Unknown numeric argument: " + arg.Token() );
      if ( arg.IsString() )
         throw Error( "Unknown string argument: " + arg.Token() );
      if ( arg.IsSwitch() )
         throw Error( "Unknown switch argument: " + arg.Token() );
      if ( arg.IsLiteral() )
      {
         if ( arg.Id() == "-interface" )
            launchInterface = true;
         else if ( arg.Id() == "-help" )
         {
            ShowHelp();
            return 0;
         }
         else
            throw Error( "Unknown argument: " + arg.Token() );
         continue;
      }
      // A view list.
      ++viewListCount;
      if ( arg.Items().IsEmpty() )
         throw Error( "No view(s) found: " + arg.Token() );
      for ( const String& id : arg.Items() )
      {
         View view = View::ViewById( id );
         if ( view.IsNull() )
            throw Error( "No such view: " + id );
         instance.LaunchOn( view );
      }
   }

   if ( launchInterface )
      instance.LaunchInterface();
   else if ( viewListCount == 0 )
   {
      if ( ImageWindow::ActiveWindow().IsNull() )
         throw Error( "There is no active image window." );
      instance.LaunchOnCurrentView();
   }
   return 0;
}

} // pcl
