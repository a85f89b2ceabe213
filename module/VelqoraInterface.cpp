#include "module/VelqoraInterface.h"

#include "module/VelqoraProcess.h"

namespace pcl
{

VelqoraInterface* TheVelqoraInterface = nullptr;

namespace
{

// The process's icon, the same image data as the process's own.
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

} // namespace

VelqoraInterface::VelqoraInterface() : instance( TheVelqoraProcess )
{
   TheVelqoraInterface = this;
}

// The controls go first, then the instance.
VelqoraInterface::~VelqoraInterface() = default;

IsoString VelqoraInterface::Id() const
{
   return "Velqora";
}

MetaProcess* VelqoraInterface::Process() const
{
   return TheVelqoraProcess;
}

const char** VelqoraInterface::IconImageXPM() const
{
   return VelqoraIcon_XPM;
}

void VelqoraInterface::ApplyInstance() const
{
   instance.LaunchOnCurrentView();
}

void VelqoraInterface::ResetInstance()
{
   VelqoraInstance defaultInstance( TheVelqoraProcess );
   ImportProcess( defaultInstance );
}

bool VelqoraInterface::Launch( const MetaProcess& process, const ProcessImplementation*, bool& dynamic, unsigned& )
{
   if ( GUI == nullptr )
   {
      GUI = std::make_unique<GUIData>( *this );
      SetWindowTitle( "Velqora" );
      UpdateControls();
   }
   dynamic = false;
   return &process == TheVelqoraProcess;
}

ProcessImplementation* VelqoraInterface::NewProcess() const
{
   return new VelqoraInstance( instance );
}

bool VelqoraInterface::ValidateProcess( const ProcessImplementation& p, String& whyNot ) const
{
   if ( dynamic_cast<const VelqoraInstance*>( &p ) != nullptr )
      return true;
   whyNot = "Not a Velqora instance.";
   return false;
}

bool VelqoraInterface::RequiresInstanceValidation() const
{
   return true;
}

bool VelqoraInterface::ImportProcess( const ProcessImplementation& p )
{
   instance.Assign( p );
   UpdateControls();
   return true;
}

void VelqoraInterface::UpdateControls()
{
   // An instance may be imported or reset before the window was first opened.
   if ( GUI == nullptr )
      return;
   GUI->Strength_NumericControl.SetValue( instance.amount );
   GUI->ModelVersion_ComboBox.SetCurrentItem( instance.model );
   GUI->Linear_CheckBox.SetChecked( instance.linear != 0 );
}

void VelqoraInterface::__ValueUpdated( NumericEdit& sender, double value )
{
   if ( sender == GUI->Strength_NumericControl )
      instance.amount = value;
}

void VelqoraInterface::__ItemClicked( Button& sender, bool checked )
{
   if ( sender == GUI->Linear_CheckBox )
      instance.linear = checked;
}

void VelqoraInterface::__ItemSelected( ComboBox& sender, int itemIndex )
{
   if ( sender == GUI->ModelVersion_ComboBox )
      instance.model = itemIndex;
}

VelqoraInterface::GUIData::GUIData( VelqoraInterface& w )
{
   // Sets the width of the model label and the indent of the check box; it is
   // never shown.
   const int labelWidth = w.Font().Width( String( "Replace orig: " ) );

   Strength_NumericControl.label.SetText( "Strength:" );
   Strength_NumericControl.slider.SetRange( 0, 250 );
   Strength_NumericControl.slider.SetScaledMinWidth( 250 );
   Strength_NumericControl.SetReal();
   Strength_NumericControl.SetToolTip(
      "<p>Use this slider to reduce the effect: </br> final = strength * denoised + (1 - strength) * original</p>" );
   Strength_NumericControl.SetPrecision( 2 );
   Strength_NumericControl.SetRange( 0.0, 1.0 );
   Strength_NumericControl.SetValue( 1.0 );
   Strength_NumericControl.OnValueUpdated( (NumericEdit::value_event_handler)&VelqoraInterface::__ValueUpdated, w );

   ModelVersion_Label.SetText( "Model version:" );
   ModelVersion_Label.SetMinWidth( labelWidth );
   ModelVersion_Label.SetToolTip( "<p>Selects model version.</p>" );
   ModelVersion_Label.SetTextAlignment( TextAlign::Right | TextAlign::VertCenter );

   ModelVersion_ComboBox.AddItem( "v2 (RGB and Grayscale)" );
   ModelVersion_ComboBox.AddItem( "v1 (RGB only)" );
   ModelVersion_ComboBox.OnItemSelected( (ComboBox::item_event_handler)&VelqoraInterface::__ItemSelected, w );

   ModelVersion_Sizer.SetScaledSpacing( 4 );
   ModelVersion_Sizer.Add( ModelVersion_Label );
   ModelVersion_Sizer.Add( ModelVersion_ComboBox );
   ModelVersion_Sizer.AddStretch();

   Linear_CheckBox.SetText( "Linear data" );
   Linear_CheckBox.SetToolTip( "<p>Uses STF Parameters to stretch the image and then de-stretches it back.</p>" );
   Linear_CheckBox.OnClick( (Button::click_event_handler)&VelqoraInterface::__ItemClicked, w );

   Linear_Sizer.AddSpacing( labelWidth + w.LogicalPixelsToPhysical( 4 ) );
   Linear_Sizer.Add( Linear_CheckBox );
   Linear_Sizer.AddStretch();

   Global_Sizer.SetScaledMargin( 8 );
   Global_Sizer.SetScaledSpacing( 6 );
   Global_Sizer.Add( Strength_NumericControl );
   Global_Sizer.Add( ModelVersion_Sizer );
   Global_Sizer.Add( Linear_Sizer );

   w.SetSizer( Global_Sizer );
   w.AdjustToContents();
   w.SetFixedSize();
}

} // pcl
