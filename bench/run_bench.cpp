// The whole denoise run on large images: total time, time inside
// TF_SessionRun, the module's own time and share, and peak resident memory
// beside the source plus the two 64-bit working images. Each case runs in a
// child process of its own, so that its peak memory is its own.
#include "framework/TileGeometry.h"
#include "host/Host.h"
#include "module/VelqoraModule.h"
#include "module/VelqoraProcess.h"
#include "module/VelqoraTensorflow.h"
#include "platform/module/Host.h"
#include "tools/GraphWriter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pcl;
using clock_type = std::chrono::steady_clock;

namespace
{

double g_sessionRunSeconds = 0;

} // namespace

// Interposes TensorFlow's run call, within this program only, to time it.
extern "C" void TF_SessionRun( TF_Session* session, const TF_Buffer* runOptions, const TF_Output* inputs,
                               TF_Tensor* const* inputValues, int ninputs, const TF_Output* outputs,
                               TF_Tensor** outputValues, int noutputs, const TF_Operation* const* targets,
                               int ntargets, TF_Buffer* runMetadata, TF_Status* status )
{
   using run_t = decltype( &TF_SessionRun );
   static run_t real = reinterpret_cast<run_t>( dlsym( RTLD_NEXT, "TF_SessionRun" ) );
   const auto t0 = clock_type::now();
   real( session, runOptions, inputs, inputValues, ninputs, outputs, outputValues, noutputs, targets, ntargets,
         runMetadata, status );
   g_sessionRunSeconds += std::chrono::duration<double>( clock_type::now() - t0 ).count();
}

namespace
{

struct Case
{
   const char* name;
   int colorSpace;
   int bits;
   bool isFloat;
   project_pelk::graphs::GraphKind graph;
   int width = 32; // the network's feature channels
};

template <class P>
void Fill( host::View& v )
{
   for ( int c = 0; c < v.NumberOfChannels(); ++c )
   {
      auto* s = v.Samples<typename P::sample>( c );
      for ( int y = 0; y < v.Height(); ++y )
         for ( int x = 0; x < v.Width(); ++x )
            s[size_t( y ) * v.Width() + x] = P::ToSample( 0.1 + 0.05 * std::sin( 0.01 * x + 0.02 * y + c ) );
   }
}

int RunCase( const Case& k, int width, int height, bool linear )
{
   const std::filesystem::path dir = std::filesystem::temp_directory_path() / ( "velqora-bench-" + std::to_string( getpid() ) );
   std::filesystem::create_directories( dir );
   std::filesystem::current_path( dir );
   project_pelk::graphs::GraphParameters parameters;
   parameters.width = k.width;
   project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb", k.graph, parameters );

   host::Host h;
   BindHost( &host::ResolveHostFunction );
   const int channels = k.colorSpace == ColorSpace::Gray ? 1 : 3;
   host::View& v = h.CreateView( "bench", width, height, channels, k.colorSpace, k.bits, k.isFloat );
   View view( v.Handle() );
   ImageVariant image = view.Image();
   DispatchPixelType( k.isFloat, k.bits, [&]( auto type ) {
      using P = typename decltype( type )::type;
      Fill<P>( v );
   } );

   if ( TheVelqoraProcess == nullptr )
      InstallPixInsightModule( 0 );
   VelqoraInstance instance( TheVelqoraProcess );
   instance.linear = linear ? 1 : 0;
   g_sessionRunSeconds = 0;
   const auto t0 = clock_type::now();
   DispatchPixelType( k.isFloat, k.bits, [&]( auto type ) {
      using P = typename decltype( type )::type;
      VelqoraEngine::Apply<P>( image.Image<P>(), view, instance );
   } );
   const double total = std::chrono::duration<double>( clock_type::now() - t0 ).count();

   rusage usage{};
   getrusage( RUSAGE_SELF, &usage );
   const double peak = double( usage.ru_maxrss ) * 1024;
   const auto g = project_pelk::TileGeometry::ForImage( width, height, 512, 480 );
   const double source = double( width ) * height * channels * ( k.bits / 8 );
   const double working = 2.0 * g.paddedWidth * g.paddedHeight * channels * 8;
   const double own = total - g_sessionRunSeconds;
   std::printf( "%-33s %-6s total %8.2f s  TF_SessionRun %8.2f s  module %6.2f s (%5.2f%%)  peak %7.0f MiB = %.2f x (source + working %.0f MiB)\n",
                k.name, linear ? "linear" : "plain", total, g_sessionRunSeconds, own, 100 * own / total, peak / 1048576,
                peak / ( source + working ), ( source + working ) / 1048576 );
   UnbindHost();
   std::filesystem::current_path( "/" );
   std::filesystem::remove_all( dir );
   return 0;
}

} // namespace

int main( int argc, char** argv )
{
   // --quick: a small image and the identity network only, for a smoke run.
   // Any other argument runs only the cases whose name contains it.
   bool quick = false;
   const char* only = nullptr;
   for ( int i = 1; i < argc; ++i )
      if ( std::strcmp( argv[i], "--quick" ) == 0 )
         quick = true;
      else
         only = argv[i];
   const int width = quick ? 1000 : 6000, height = quick ? 800 : 4000;
   using project_pelk::graphs::GraphKind;
   const Case cases[] = {
      { "RGB 32-bit float, identity", ColorSpace::RGB, 32, true, GraphKind::Identity },
      { "Gray 16-bit, identity", ColorSpace::Gray, 16, false, GraphKind::Identity },
      { "RGB 32-bit float, network 32 wide", ColorSpace::RGB, 32, true, GraphKind::Network, 32 },
      { "Gray 16-bit, network 32 wide", ColorSpace::Gray, 16, false, GraphKind::Network, 32 },
      { "RGB 32-bit float, network 64 wide", ColorSpace::RGB, 32, true, GraphKind::Network, 64 },
      { "Gray 16-bit, network 64 wide", ColorSpace::Gray, 16, false, GraphKind::Network, 64 },
   };
   std::printf( "image %d x %d\n", width, height );
   for ( const Case& k : cases )
   {
      if ( ( quick && k.graph != GraphKind::Identity ) || ( only != nullptr && !std::strstr( k.name, only ) ) )
         continue;
      for ( bool linear : { false, true } )
      {
         if ( k.graph == GraphKind::Network && linear )
            continue; // the network's cost does not depend on the mode
         std::fflush( stdout );
         pid_t child = fork();
         if ( child == 0 )
         {
            try
            {
               const int result = RunCase( k, width, height, linear );
               std::fflush( stdout );
               _exit( result );
            }
            catch ( const Error& e )
            {
               std::fprintf( stderr, "%s: %s\n", k.name, e.Message().ToStdUTF8().c_str() );
            }
            catch ( const std::exception& e )
            {
               std::fprintf( stderr, "%s: %s\n", k.name, e.what() );
            }
            std::fflush( stdout );
            _exit( 1 );
         }
         int status = 0;
         waitpid( child, &status, 0 );
         if ( !WIFEXITED( status ) || WEXITSTATUS( status ) != 0 )
            return 1;
      }
   }
   return 0;
}
