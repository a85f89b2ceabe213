#include "module/VelqoraInterface.h"

#include "module/VelqoraIcon.h"
#include "module/VelqoraProcess.h"

namespace pcl
{

VelqoraInterface* TheVelqoraInterface = nullptr;

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
