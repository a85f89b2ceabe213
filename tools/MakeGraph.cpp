// velqora-make-graph: writes a frozen test graph (serialized GraphDef) with an
// input "intro" and an output "Identity", or one that breaks that layout.
#include "tools/GraphWriter.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

namespace
{

int Usage()
{
   std::cerr << "usage: velqora-make-graph <kind> <output.pb> [--batch N] [--scale A] [--offset B] [--width N]\n"
                "kinds: identity affine box network no-intro no-identity nan inf wrong-shape wrong-type\n"
                "       transposed twice-as-wide twice-the-batch int-intro small-intro\n"
                "--batch N: batch size of the input, -1 (the default) for unknown\n"
                "--scale A, --offset B: the affine map y = A*x + B (default 1, 0)\n"
                "--width N: feature channels of the network's inner layers (default 32)\n";
   return 2;
}

} // namespace

int main( int argc, char** argv )
{
   using namespace project_pelk::graphs;
   if ( argc < 3 || argc % 2 != 1 )
      return Usage();
   std::optional<GraphKind> kind = ParseGraphKind( argv[1] );
   if ( !kind )
      return Usage();
   GraphParameters parameters;
   try
   {
      for ( int i = 3; i < argc; i += 2 )
      {
         const std::string option = argv[i];
         const std::string value = argv[i + 1];
         if ( option == "--batch" )
            parameters.batch = std::stoll( value );
         else if ( option == "--scale" )
            parameters.scale = std::stof( value );
         else if ( option == "--offset" )
            parameters.offset = std::stof( value );
         else if ( option == "--width" )
            parameters.width = std::stoi( value );
         else
            return Usage();
      }
      if ( parameters.batch == 0 || parameters.batch < -1 || parameters.width < 1 )
         return Usage();
      WriteGraphFile( argv[2], *kind, parameters );
   }
   catch ( const std::exception& e )
   {
      std::cerr << "velqora-make-graph: " << e.what() << "\n";
      return 1;
   }
   return 0;
}
