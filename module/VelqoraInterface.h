#ifndef VELQORA_INTERFACE_H
#define VELQORA_INTERFACE_H

#include "module/VelqoraInstance.h"
#include "platform/controls/CheckBox.h"
#include "platform/controls/ComboBox.h"
#include "platform/controls/Label.h"
#include "platform/controls/NumericControl.h"
#include "platform/controls/Sizer.h"
#include "platform/process/ProcessInterface.h"

#include <memory>

namespace pcl
{

// The process's window: an instance of its own, of which it shows and edits
// the strength, the model version and the linear-data flag. The two stretch
// parameters travel with the instance unseen.
class VelqoraInterface : public ProcessInterface
{
public:
   // The instance starts at the defaults; TheVelqoraProcess must exist.
   VelqoraInterface();
   ~VelqoraInterface() override;

   IsoString Id() const override;
   MetaProcess* Process() const override;
   const char** IconImageXPM() const override;
   void ApplyInstance() const override;
   void ResetInstance() override;
   // Builds the controls on the first call. True for TheVelqoraProcess only.
   bool Launch( const MetaProcess& process, const ProcessImplementation* instance, bool& dynamic,
                unsigned& flags ) override;
   ProcessImplementation* NewProcess() const override;
   bool ValidateProcess( const ProcessImplementation& instance, String& whyNot ) const override;
   bool RequiresInstanceValidation() const override;
   // Takes the values of a VelqoraInstance (any other changes nothing) and
   // shows them; true in both cases.
   bool ImportProcess( const ProcessImplementation& instance ) override;

private:
   VelqoraInstance instance;

   struct GUIData
   {
      explicit GUIData( VelqoraInterface& w );

      NumericControl Strength_NumericControl;
      VerticalSizer Global_Sizer;
      Label ModelVersion_Label;
      HorizontalSizer ModelVersion_Sizer;
      ComboBox ModelVersion_ComboBox;
      HorizontalSizer Linear_Sizer;
      CheckBox Linear_CheckBox;
   };

   std::unique_ptr<GUIData> GUI; // null until the first Launch

   // Shows the instance; nothing before the controls exist.
   void UpdateControls();

   void __ValueUpdated( NumericEdit& sender, double value );
   void __ItemClicked( Button& sender, bool checked );
   void __ItemSelected( ComboBox& sender, int itemIndex );
};

extern VelqoraInterface* TheVelqoraInterface;

} // pcl

#endif
