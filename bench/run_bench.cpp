// Whole denoise runs, measured against the four targets of the module's own
// cost, all in one run of this program:
//
// 1. Time: the module's own time (the run's wall time less the time inside
//    TensorFlow and inside the host's statistics) against the floor, the time
//    the bytes the run must move take at this machine's single-thread copy
//    bandwidth (measured here, as memcpy's bytes read plus bytes written per
//    second). Per tile the run must read the padded tile (64-bit samples),
//    write and read the tensor, read and write the 64-bit output tile and read
//    the blending weights. Once per run it must read the source and write the
//    result, and keep a copy of the source (written and read back) so that a
//    failed run can leave the image as it was; in linear mode it also
//    stretches the source in place. Target: own time at most 2 x the floor,
//    for 6000 x 4000 RGB 32-bit float and 16-bit grayscale, identity network,
//    both modes.
// 2. Memory: the run's peak resident memory against its parts: the process
//    before the run (the source image included), TensorFlow's own and the
//    host's statistics (each measured alone in a process of its own), and the
//    module's part, the rest. Target: the module's part at most 0.35 x the
//    two 64-bit padded working images the module used to keep.
// 3. Share: the module's own time in a run with the 32-channel stand-in
//    network, with TensorFlow's BFC allocator as velqora-host chooses it
//    (TF_CPU_ALLOCATOR_USE_BFC=true). Target: under 10 %. The same run with
//    TensorFlow's default allocator is shown beside it.
// 4. Linearity: own time against the floor for 2000 x 1500, 6000 x 4000 and
//    12000 x 8000. Target: each within 25 % of the 6000 x 4000 figure.
//
// Every measurement runs in a child process of its own, so that its peak
// memory is its own and TensorFlow chooses its allocator afresh. The first
// line names the vector level the module's kernels ran at (VELQORA_SIMD caps
// it). --quick runs small images only, as a smoke test; any
// other argument runs only the measurements whose name contains it.
#include "framework/DLModelTensorflow.h"
#include "framework/Simd.h"
#include "framework/TensorflowGuards.h"
#include "framework/TileGeometry.h"
#include "host/Host.h"
#include "host/HostApi.h"
#include "module/VelqoraModule.h"
#include "module/VelqoraProcess.h"
#include "module/VelqoraTensorflow.h"
#include "platform/boundary/HostBinding.h"
#include "tools/GraphWriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace pcl;
using clock_type = std::chrono::steady_clock;
using project_pelk::graphs::GraphKind;

namespace
{

double g_tensorflowSeconds = 0;
double g_hostSeconds = 0;
int g_runs = 3;  // --runs N: each time is the fastest of N runs

double Since( clock_type::time_point t0 )
{
   return std::chrono::duration<double>( clock_type::now() - t0 ).count();
}

// Adds the time of its scope to TensorFlow's.
struct TensorflowTimer
{
   clock_type::time_point t0 = clock_type::now();
   ~TensorflowTimer() { g_tensorflowSeconds += Since( t0 ); }
};

} // namespace

// TensorFlow's own work, interposed within this program only to time it: the
// graph import, the session's life and the runs. Each calls the library's own
// definition.
#define VELQORA_TIMED( name ) \
   static const auto real = reinterpret_cast<decltype( &name )>( dlsym( RTLD_NEXT, #name ) ); \
   TensorflowTimer timer

extern "C" void TF_SessionRun( TF_Session* session, const TF_Buffer* runOptions, const TF_Output* inputs,
                               TF_Tensor* const* inputValues, int ninputs, const TF_Output* outputs,
                               TF_Tensor** outputValues, int noutputs, const TF_Operation* const* targets,
                               int ntargets, TF_Buffer* runMetadata, TF_Status* status )
{
   VELQORA_TIMED( TF_SessionRun );
   real( session, runOptions, inputs, inputValues, ninputs, outputs, outputValues, noutputs, targets, ntargets,
         runMetadata, status );
}
extern "C" void TF_GraphImportGraphDef( TF_Graph* graph, const TF_Buffer* def, const TF_ImportGraphDefOptions* options,
                                        TF_Status* status )
{
   VELQORA_TIMED( TF_GraphImportGraphDef );
   real( graph, def, options, status );
}
extern "C" TF_Session* TF_NewSession( TF_Graph* graph, const TF_SessionOptions* options, TF_Status* status )
{
   VELQORA_TIMED( TF_NewSession );
   return real( graph, options, status );
}
extern "C" void TF_CloseSession( TF_Session* session, TF_Status* status )
{
   VELQORA_TIMED( TF_CloseSession );
   real( session, status );
}
extern "C" void TF_DeleteSession( TF_Session* session, TF_Status* status )
{
   VELQORA_TIMED( TF_DeleteSession );
   real( session, status );
}
extern "C" void TF_DeleteGraph( TF_Graph* graph )
{
   VELQORA_TIMED( TF_DeleteGraph );
   real( graph );
}

namespace
{

// The host's statistics are the host's work: timed apart.
ViewComputeOrFetchProperty_t g_hostProperty = nullptr;

int32_t TimedProperty( host_view_handle view, const char* id, int32_t notify, int32_t* kind, double* values,
                       size_t capacity, size_t* count )
{
   const auto t0 = clock_type::now();
   const int32_t result = g_hostProperty( view, id, notify, kind, values, capacity, count );
   g_hostSeconds += Since( t0 );
   return result;
}

extern "C" void* TimingResolver( const char* name )
{
   void* f = host::ResolveHostFunction( name );
   if ( std::strcmp( name, "ViewComputeOrFetchProperty" ) == 0 )
   {
      g_hostProperty = reinterpret_cast<ViewComputeOrFetchProperty_t>( f );
      return reinterpret_cast<void*>( &TimedProperty );
   }
   return f;
}

// Resident memory from /proc: "VmRSS" now, "VmHWM" the peak.
double ResidentBytes( const char* field )
{
   std::ifstream status( "/proc/self/status" );
   std::string line;
   const size_t n = std::strlen( field );
   while ( std::getline( status, line ) )
      if ( line.compare( 0, n, field ) == 0 && line[n] == ':' )
         return std::stod( line.substr( n + 1 ) ) * 1024;
   return 0;
}

// Starts a new peak at the current resident size.
void ResetPeak()
{
   std::ofstream( "/proc/self/clear_refs" ) << "5";
}

struct Case
{
   const char* name;
   int colorSpace;
   int bits;
   bool isFloat;
   GraphKind graph;
   int networkWidth = 32;

   int Channels() const { return colorSpace == ColorSpace::Gray ? 1 : 3; }
};

const Case RGBFloat = { "RGB 32-bit float", ColorSpace::RGB, 32, true, GraphKind::Identity };
const Case Gray16 = { "Gray 16-bit", ColorSpace::Gray, 16, false, GraphKind::Identity };

// What one child reports.
struct Measurement
{
   double bandwidth = 0; // measured just before the runs
   double total = 0, tensorflow = 0, host = 0;
   double system = 0;                // the kernel's CPU time in the run, all threads
   double base = 0, peak = 0;       // resident bytes before the run, and its peak
   double tensorflowMemory = 0;     // peak over base of TensorFlow alone
   double hostMemory = 0;           // peak over base of the host's statistics alone
   double Own() const { return total - tensorflow - host; }
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

// A host with one view holding the case's image, and the case's graph as
// the weights file in the working directory.
struct Scene
{
   host::Host host;
   host::View* view = nullptr;

   Scene( const Case& k, int width, int height )
   {
      project_pelk::graphs::GraphParameters parameters;
      parameters.width = k.networkWidth;
      project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb", k.graph, parameters );
      BindHost( &TimingResolver );
      view = &host.Windows().CreateView( "bench", width, height, k.Channels(), k.colorSpace, k.bits, k.isFloat );
      DispatchPixelType( k.isFloat, k.bits, [&]( auto type ) { Fill<typename decltype( type )::type>( *view ); } );
   }
   ~Scene() { UnbindHost(); }
};

// Bytes moved per second by a single-thread memcpy (read plus written).
double CopyBandwidth()
{
   const size_t bytes = size_t( 256 ) << 20;
   std::vector<char> a( bytes, 1 ), b( bytes, 2 );
   double best = 1e30;
   for ( int r = 0; r < 5; ++r )
   {
      const auto t0 = clock_type::now();
      std::memcpy( b.data(), a.data(), bytes );
      asm volatile( "" ::: "memory" );
      best = std::min( best, Since( t0 ) );
   }
   return 2.0 * double( bytes ) / best;
}

double SystemSeconds()
{
   rusage usage = {};
   getrusage( RUSAGE_SELF, &usage );
   return double( usage.ru_stime.tv_sec ) + 1e-6 * double( usage.ru_stime.tv_usec );
}

// The fastest of g_runs runs on the same view, the copy bandwidth measured
// just before them, and the peak memory of all of them.
Measurement Run( const Case& k, int width, int height, bool linear )
{
   Scene scene( k, width, height );
   View view( scene.view->Handle() );
   ImageVariant image = view.Image();
   if ( TheVelqoraProcess == nullptr )
      InstallPixInsightModule( 0 );
   VelqoraInstance instance( TheVelqoraProcess );
   instance.linear = linear ? 1 : 0;

   Measurement m;
   m.bandwidth = CopyBandwidth();
   m.base = ResidentBytes( "VmRSS" );
   ResetPeak();
   for ( int r = 0; r < g_runs; ++r )
   {
      g_tensorflowSeconds = g_hostSeconds = 0;
      const double system0 = SystemSeconds();
      const auto t0 = clock_type::now();
      DispatchPixelType( k.isFloat, k.bits, [&]( auto type ) {
         using P = typename decltype( type )::type;
         VelqoraEngine::Apply<P>( image.Image<P>(), view, instance );
      } );
      const double total = Since( t0 );
      if ( r == 0 || total - g_tensorflowSeconds - g_hostSeconds < m.Own() )
      {
         m.total = total;
         m.tensorflow = g_tensorflowSeconds;
         m.host = g_hostSeconds;
         m.system = SystemSeconds() - system0;
      }
   }
   m.peak = ResidentBytes( "VmHWM" );
   return m;
}

// The memory of TensorFlow alone (the weights loaded, a session, one tile
// through it) and of the host's statistics alone, each over the same base.
Measurement Parts( const Case& k, int width, int height )
{
   Scene scene( k, width, height );
   Measurement m;
   m.base = ResidentBytes( "VmRSS" );
   ResetPeak();
   View( scene.view->Handle() ).ComputeOrFetchProperty( "Median", true );
   m.hostMemory = ResidentBytes( "VmHWM" ) - m.base;

   using namespace project_pelk::tensorflow;
   const double before = ResidentBytes( "VmRSS" );
   ResetPeak();
   {
      DLModelTensorflow model;
      SessionGuard session;
      session.graph = model.LoadModel( "Velqora_weights_v2.pb" );
      const TF_Output input = DLModelTensorflow::RequireOperation( session.graph, "intro" );
      const TF_Output output = DLModelTensorflow::RequireOperation( session.graph, "Identity" );
      session.options = TF_NewSessionOptions();
      session.status = TF_NewStatus();
      session.session = DLModelTensorflow::CreateSession( session.graph, session.options, session.status );
      const int64_t dims[4] = { 1, 512, 512, 3 };
      std::vector<float> batch( 512 * 512 * 3, 0.25f );
      TensorGuard in( DLModelTensorflow::CreateTensor( TF_FLOAT, dims, 4, batch.data(), batch.size() * sizeof( float ) ) );
      TensorGuard out( nullptr );
      DLModelTensorflow::RunSession( session.session, &input, in.Out(), &output, out.Out(), session.status, "bench" );
   }
   m.tensorflowMemory = ResidentBytes( "VmHWM" ) - before;
   return m;
}

// Runs f in a child process in a scratch directory; its Measurement comes
// back through a pipe. False when the child failed.
template <typename F>
bool InChild( F&& f, Measurement& result )
{
   int fds[2];
   if ( pipe( fds ) != 0 )
      return false;
   std::fflush( stdout );
   const pid_t child = fork();
   if ( child == 0 )
   {
      close( fds[0] );
      int code = 1;
      const std::filesystem::path dir =
         std::filesystem::temp_directory_path() / ( "velqora-bench-" + std::to_string( getpid() ) );
      try
      {
         std::filesystem::create_directories( dir );
         std::filesystem::current_path( dir );
         const Measurement m = f();
         code = write( fds[1], &m, sizeof m ) == ssize_t( sizeof m ) ? 0 : 1;
      }
      catch ( const Error& e )
      {
         std::fprintf( stderr, "%s\n", e.Message().ToStdUTF8().c_str() );
      }
      catch ( const std::exception& e )
      {
         std::fprintf( stderr, "%s\n", e.what() );
      }
      std::error_code ignored;
      std::filesystem::current_path( "/", ignored );
      std::filesystem::remove_all( dir, ignored );
      _exit( code );
   }
   close( fds[1] );
   const bool read = ::read( fds[0], &result, sizeof result ) == ssize_t( sizeof result );
   close( fds[0] );
   int status = 0;
   waitpid( child, &status, 0 );
   return read && WIFEXITED( status ) && WEXITSTATUS( status ) == 0;
}

// The bytes a run must move, as described at the top.
struct Floor
{
   double tiles = 0, once = 0;
   int tileCount = 0;
   double Bytes() const { return tiles + once; }
};

Floor FloorOf( const Case& k, int width, int height, bool linear )
{
   const auto g = project_pelk::TileGeometry::ForImage( width, height, 512, 480 );
   const double tile = double( g.window ) * g.window;
   const int ch = k.Channels();
   const double perTile = tile * ch * 8          // the padded tile read
                          + 2 * tile * 3 * 4     // the tensor written and read
                          + 2 * tile * ch * 8    // the output tile read and written
                          + tile * 8;            // the weights
   const double source = double( width ) * height * ch * ( k.bits / 8 );
   Floor f;
   f.tileCount = g.tileCount;
   f.tiles = perTile * g.tileCount;
   f.once = 4 * source + ( linear ? 2 * source : 0 ); // result and copy; stretch
   return f;
}

double WorkingImages( const Case& k, int width, int height )
{
   const auto g = project_pelk::TileGeometry::ForImage( width, height, 512, 480 );
   return 2.0 * g.paddedWidth * g.paddedHeight * k.Channels() * 8;
}

const char* Verdict( bool met )
{
   return met ? "met" : "NOT MET";
}

constexpr double MiB = 1048576.0;

struct Targets
{
   bool time = true, memory = true, share = true, linear = true;
   bool ran[4] = {};
};

} // namespace

int main( int argc, char** argv )
{
   bool quick = false;
   const char* only = nullptr;
   for ( int i = 1; i < argc; ++i )
      if ( std::strcmp( argv[i], "--quick" ) == 0 )
         quick = true;
      else if ( std::strcmp( argv[i], "--runs" ) == 0 && i + 1 < argc )
         g_runs = std::max( 1, std::atoi( argv[++i] ) );
      else
         only = argv[i];
   auto wanted = [&]( const std::string& name ) { return only == nullptr || name.find( only ) != std::string::npos; };

   const int width = quick ? 1000 : 6000, height = quick ? 800 : 4000;
   Targets t;
   // Children choose TensorFlow's allocator for themselves (see 3).
   unsetenv( "TF_CPU_ALLOCATOR_USE_BFC" );

   std::printf( "vector level: %s (this processor: %s)\n\n", project_pelk::SimdLevelName( project_pelk::ActiveSimdLevel() ),
                project_pelk::SimdLevelName( project_pelk::ProcessorSimdLevel() ) );

   std::printf( "1-2. identity network, %d x %d: own time against the floor; peak memory by part\n", width, height );
   for ( const Case& k : { RGBFloat, Gray16 } )
      for ( bool linear : { false, true } )
      {
         const std::string name = std::string( k.name ) + ", identity, " + ( linear ? "linear" : "plain" );
         if ( !wanted( name ) )
            continue;
         Measurement m, parts;
         if ( !InChild( [&] { return Run( k, width, height, linear ); }, m ) ||
              !InChild( [&] { return Parts( k, width, height ); }, parts ) )
            return 1;
         const Floor f = FloorOf( k, width, height, linear );
         const double floor = f.Bytes() / m.bandwidth, ratio = m.Own() / floor;
         const double source = double( width ) * height * k.Channels() * ( k.bits / 8 );
         const double working = WorkingImages( k, width, height );
         const double host = linear ? parts.hostMemory : 0;
         const double module = m.peak - m.base - parts.tensorflowMemory - host;
         const double budget = 0.35 * working;
         t.time = t.time && ratio <= 2;
         t.memory = t.memory && module <= budget;
         t.ran[0] = t.ran[1] = true;
         std::printf( "  %s\n", name.c_str() );
         std::printf( "    time   own %.3f s (run %.3f, TensorFlow %.3f, host statistics %.3f); floor %.3f s "
                      "(%d tiles %.0f MB, once %.0f MB, at %.1f GB/s): %.2f x floor, %.2f ms per tile  [<= 2: %s]\n",
                      m.Own(), m.total, m.tensorflow, m.host, floor, f.tileCount, f.tiles / 1e6, f.once / 1e6,
                      m.bandwidth / 1e9, ratio, 1e3 * m.Own() / f.tileCount, Verdict( ratio <= 2 ) );
         std::printf( "    memory peak %.0f MiB = before the run %.0f (source %.0f) + TensorFlow %.0f + host statistics "
                      "%.0f + module %.0f;\n           module budget 0.35 x %.0f (two 64-bit working images) = %.0f  "
                      "[%s]\n",
                      m.peak / MiB, m.base / MiB, source / MiB, parts.tensorflowMemory / MiB, host / MiB,
                      module / MiB, working / MiB, budget / MiB, Verdict( module <= budget ) );
      }

   std::printf( "\n3. the module's share with the 32-channel stand-in network, %d x %d, plain\n", width, height );
   for ( Case k : { RGBFloat, Gray16 } )
   {
      k.graph = GraphKind::Network;
      const std::string name = std::string( k.name ) + ", network";
      if ( !wanted( name ) )
         continue;
      // TensorFlow reads the variable at its first CPU allocation, in the child.
      Measurement plain, bfc;
      if ( !InChild( [&] { return Run( k, width, height, false ); }, plain ) ||
           !InChild(
              [&] {
                 setenv( "TF_CPU_ALLOCATOR_USE_BFC", "true", 1 );
                 return Run( k, width, height, false );
              },
              bfc ) )
         return 1;
      const double share = bfc.Own() / bfc.total;
      t.share = t.share && share < 0.1;
      t.ran[2] = true;
      std::printf( "  %-34s run %.2f s, TensorFlow %.2f s, own %.3f s: %.1f %%  [< 10 %%: %s]\n", name.c_str(),
                   bfc.total, bfc.tensorflow, bfc.Own(), 100 * share, Verdict( share < 0.1 ) );
      std::printf( "  %-34s run %.2f s, TensorFlow %.2f s, own %.3f s; system time %.2f s, BFC %.2f s\n",
                   "  default allocator instead", plain.total, plain.tensorflow, plain.Own(), plain.system,
                   bfc.system );
   }

   std::printf( "\n4. cost against the number of tiles, %s, identity, plain\n", RGBFloat.name );
   if ( wanted( "tiles" ) )
   {
      const int full[3][2] = { { 2000, 1500 }, { 6000, 4000 }, { 12000, 8000 } };
      const int small[3][2] = { { 600, 520 }, { 1000, 800 }, { 2000, 1600 } };
      const auto& sizes = quick ? small : full;
      double ratios[3];
      for ( int s = 0; s < 3; ++s )
      {
         Measurement m;
         if ( !InChild( [&] { return Run( RGBFloat, sizes[s][0], sizes[s][1], false ); }, m ) )
            return 1;
         const Floor f = FloorOf( RGBFloat, sizes[s][0], sizes[s][1], false );
         ratios[s] = m.Own() / ( f.Bytes() / m.bandwidth );
         std::printf( "  %5d x %-5d %4d tiles  own %.3f s, %.2f ms per tile, %.2f x floor\n", sizes[s][0], sizes[s][1],
                      f.tileCount, m.Own(), 1e3 * m.Own() / f.tileCount, ratios[s] );
      }
      for ( double r : { ratios[0], ratios[2] } )
         t.linear = t.linear && std::abs( r / ratios[1] - 1 ) <= 0.25;
      t.ran[3] = true;
      std::printf( "  own time / floor within 25 %% of the middle size  [%s]\n", Verdict( t.linear ) );
   }

   std::printf( "\ntargets: time %s, memory %s, share %s, linear in tiles %s\n",
                t.ran[0] ? Verdict( t.time ) : "not run", t.ran[1] ? Verdict( t.memory ) : "not run",
                t.ran[2] ? Verdict( t.share ) : "not run", t.ran[3] ? Verdict( t.linear ) : "not run" );
   return 0;
}
