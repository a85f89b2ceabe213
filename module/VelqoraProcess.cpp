#include "module/VelqoraProcess.h"

#include "module/VelqoraInstance.h"
#include "module/VelqoraParameters.h"
#include "platform/core/Console.h"
#include "platform/core/Exception.h"
#include "platform/image/ImageWindow.h"
#include "platform/image/View.h"
#include "platform/process/Argument.h"

namespace pcl
{

VelqoraProcess* TheVelqoraProcess = nullptr;

namespace
{

// 24 × 24, 113 colours, two characters per pixel: a disc shaded from the
// banner's red to its violet, speckled on one side and smooth on the other.
const char* VelqoraIcon_XPM[] = {
   "24 24 113 2 ",
   "   c None",
   ".. c #E20A0A",
   ".# c #FF7850",
   ".a c #E00A0E",
   ".b c #FF7854",
   ".c c #DE0A12",
   ".d c #FF7858",
   ".e c #DC0A16",
   ".f c #FF785C",
   ".g c #DA0A1A",
   ".h c #FF7860",
   ".i c #D80A1E",
   ".j c #FF7864",
   ".k c #D60A22",
   ".l c #FF7868",
   ".m c #D40A25",
   ".n c #FF786B",
   ".o c #D20A29",
   ".p c #FF786F",
   ".q c #D00A2D",
   ".r c #FF7873",
   ".s c #CE0A31",
   ".t c #FF7877",
   ".u c #CC0A35",
   ".v c #FF787B",
   ".w c #CA0A39",
   ".x c #FF787F",
   ".y c #C80A3D",
   ".z c #FF7883",
   ".A c #C70A41",
   ".B c #FF7887",
   ".C c #C50A45",
   ".D c #FF788B",
   ".E c #C30A49",
   ".F c #FF788F",
   ".G c #C10A4D",
   ".H c #FF7893",
   ".I c #BF0A51",
   ".J c #FF7897",
   ".K c #BD0A55",
   ".L c #FF789B",
   ".M c #BB0A59",
   ".N c #FF789F",
   ".O c #B90A5C",
   ".P c #FF78A2",
   ".Q c #B70A60",
   ".R c #FD78A6",
   ".S c #B50A64",
   ".T c #FB78AA",
   ".U c #B30A68",
   ".V c #F978AE",
   ".W c #B10A6C",
   ".X c #F778B2",
   ".Y c #AF0A70",
   ".Z c #F578B6",
   ".0 c #AD0A74",
   ".1 c #F378BA",
   ".2 c #AB0A78",
   ".3 c #F178BE",
   ".4 c #A90A7C",
   ".5 c #EF78C2",
   ".6 c #A70A80",
   ".7 c #ED78C6",
   ".8 c #A50A84",
   ".9 c #EB78CA",
   "#. c #A30A88",
   "## c #E978CE",
   "#a c #A10A8C",
   "#b c #E778D2",
   "#c c #9F0A90",
   "#d c #E578D6",
   "#e c #9D0A93",
   "#f c #E378D9",
   "#g c #9B0A97",
   "#h c #E178DD",
   "#i c #990A9B",
   "#j c #DF78E1",
   "#k c #970A9F",
   "#l c #DD78E5",
   "#m c #950AA3",
   "#n c #DB78E9",
   "#o c #930AA7",
   "#p c #D978ED",
   "#q c #910AAB",
   "#r c #D778F1",
   "#s c #900AAF",
   "#t c #D678F5",
   "#u c #8E0AB3",
   "#v c #D478F9",
   "#w c #8C0AB7",
   "#x c #D278FD",
   "#y c #8A0ABB",
   "#z c #D078FF",
   "#A c #880ABF",
   "#B c #CE78FF",
   "#C c #860AC3",
   "#D c #CC78FF",
   "#E c #840AC7",
   "#F c #CA78FF",
   "#G c #820ACA",
   "#H c #C878FF",
   "#I c #800ACE",
   "#J c #C678FF",
   "#K c #7E0AD2",
   "#L c #C478FF",
   "#M c #7C0AD6",
   "#N c #C278FF",
   "#O c #7A0ADA",
   "#P c #C078FF",
   "#Q c #780ADE",
   "#R c #BE78FF",
   "#S c #760AE2",
   "#T c #BC78FF",
   "                    .E.G.K.M                    ",
   "              .A.C.E.G.I.K.M.Q.S.W              ",
   "          .y.A.A.C.E.G.K.M.O.Q.U.W.0.2          ",
   "        .y.y.A.C.E.G.I.K.M.Q.S.U.Y.0.4.8        ",
   "      .y.y.A.C.E.G.I.K.M.O.Q.U.W.Y.2.6.8#a      ",
   "    .y.y.B.C.E.E.G.I.K.O.Q.S.U.Y.0.4.6#.#c#e    ",
   "    .A.A.D.E.E.G.I.K.M.O.S.U.W.Y.2.4.8#a#c#g    ",
   "  .A.A.D.F.E.G.I.K.M.O.Q.S.W.Y.0.4.6#.#c#e#i#m  ",
   "  .C.D.E.G.G.I.K.M.O.Q.S.U.Y.0.2.6.8#a#e#g#k#o  ",
   "  .F.E.H.J.J.L.M.P.Q.S.U.W.0.2.4.8#.#c#g#i#m#q  ",
   ".E.G.G.I.L.L.N.O.Q.T.U.W.Y.2.4.6#.#a#e#i#k#o#s#w",
   ".G.I.L.K.M.P.O.Q.S.U.X.Y.2.4.6.8#a#c#g#k#m#q#u#y",
   ".K.L.M.M.P.Q.T.S.U.W.Y.3.4.6.8#a#c#g#i#m#q#s#w#A",
   ".M.M.O.Q.Q.S.U.W.Z.0.2.4.6.8#a#c#e#i#m#o#s#w#A#C",
   "  .R.Q.S.V.U.X.Z.1.2.5.7.8#a#c#e#i#k#o#s#u#y#C  ",
   "  .S.U.U.W.Y.Y.1.2.4.6.8#b#d#f#i#k#o#q#u#y#A#E  ",
   "  .W.W.Y.Z.1.2.4.6.8#.#a#c#e#j#k#o#q#u#w#A#E#I  ",
   "    .0.0.2.4.4.7.8###b#d#h#j#l#p#r#u#w#A#E#G    ",
   "    .2.4.7.6.8###b#d#e#h#i#m#o#q#v#x#A#C#G#K    ",
   "      .8.9#.#b#d#e#g#j#k#n#o#s#u#w#B#C#G#K      ",
   "        #a#c#c#e#h#j#k#m#q#s#u#y#B#E#G#K        ",
   "          #e#g#j#k#m#o#q#s#w#y#B#F#G#K          ",
   "              #m#o#q#s#u#w#B#C#E#I              ",
   "                    #w#y#A#C                    "
};

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
