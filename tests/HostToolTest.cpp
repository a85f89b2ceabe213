// velqora-host from its command line, as a user runs it: whole runs on FITS
// files with the module loaded through its entry functions, refusals, and
// Ctrl-C. Also the console as the terminal shows it.
#include "ScratchDirectory.h"
#include "host/files/ImageFile.h"
#include "host/files/SampleType.h"
#include "host/terminal/StderrFilter.h"
#include "host/terminal/Terminal.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

struct Outcome
{
   int status = -1;
   std::string out, err;
};

// A signal for a running velqora-host, sent once `when` holds.
struct Interruption
{
   std::function<bool()> when;
   int signal = SIGINT;
};

// Runs velqora-host in `directory`, its output and errors written to files
// there, perhaps interrupted.
Outcome RunHost( const fs::path& directory, std::vector<std::string> arguments, const Interruption& interruption = {} )
{
   arguments.insert( arguments.begin(), { VELQORA_HOST_PROGRAM, "--module", VELQORA_MODULE_FILE } );
   std::vector<char*> argv;
   for ( std::string& a : arguments )
      argv.push_back( a.data() );
   argv.push_back( nullptr );
   const fs::path out = directory / "stdout.txt", err = directory / "stderr.txt";
   const pid_t pid = ::fork();
   if ( pid == 0 )
   {
      const int outFile = ::open( out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644 );
      const int errFile = ::open( err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644 );
      if ( outFile < 0 || errFile < 0 || ::dup2( outFile, 1 ) < 0 || ::dup2( errFile, 2 ) < 0 ||
           ::chdir( directory.c_str() ) != 0 )
         ::_exit( 127 );
      ::execv( argv[0], argv.data() );
      ::_exit( 127 );
   }
   int status = 0;
   for ( bool interrupted = !interruption.when; ::waitpid( pid, &status, interrupted ? 0 : WNOHANG ) == 0; )
   {
      interrupted = interruption.when() && ::kill( pid, interruption.signal ) == 0;
      std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
   }
   Outcome o;
   o.status = WIFEXITED( status ) ? WEXITSTATUS( status ) : 1000 + WTERMSIG( status );
   o.out = Contents( out );
   o.err = Contents( err );
   return o;
}

// A linear image: a dark background with noise, in the sample format asked for.
host::ImageData Sky( int width, int height, int channels, int bits, bool isFloat )
{
   host::ImageData image;
   image.Allocate( width, height, channels, channels == 3 ? 1 : 0, bits, isFloat );
   std::mt19937 rng( 5 );
   std::normal_distribution<double> noise( 0.1, 0.01 );
   host::WithSampleType( bits, isFloat, [&]<typename T>( T ) {
      for ( auto& channel : image.channels )
      {
         T* s = reinterpret_cast<T*>( channel.data() );
         for ( size_t i = 0; i < channel.size() / sizeof( T ); ++i )
         {
            const double v = std::clamp( noise( rng ) + ( i % 5003 == 0 ? 0.8 : 0.0 ), 0.0, 1.0 );
            s[i] = std::is_floating_point_v<T> ? T( v ) : T( std::lround( v * double( std::numeric_limits<T>::max() ) ) );
         }
      }
   } );
   return image;
}

class HostToolTest : public ::testing::Test
{
protected:
   fs::path Write( const std::string& name, host::ImageData image )
   {
      host::WriteImageFile( ( m_dir.Path() / name ).string(), image.Describe(), {}, false );
      return m_dir.Path() / name;
   }
   void Weights( project_pelk::graphs::GraphKind kind )
   {
      project_pelk::graphs::WriteGraphFile( ( m_dir.Path() / "Velqora_weights_v2.pb" ).string(), kind );
   }

   ScratchDirectory m_dir;
};

TEST_F( HostToolTest, AWholeRunWithTheIdentityNetworkGivesTheImageBack )
{
   Weights( project_pelk::graphs::GraphKind::Identity );
   const std::string stf = "0.2,0,1,0,1";
   const struct
   {
      const char* name;
      int channels, bits;
      bool isFloat;
      std::vector<std::string> parameters;
      double tolerance; // in units of the sample type, or absolute for floats
   } cases[] = {
      // Linear data through a stretch that clips nothing (the automatic one
      // clips the darkest samples to its shadows point) and back.
      // Two roundings: the stretched source is kept in the image's own samples.
      { "gray16.fits", 1, 16, false, { "--stf", stf, stf, stf, stf }, 2 },
      { "rgb32f.fits", 3, 32, true, { "--stf", stf, stf, stf, stf }, 1e-6 },
      { "rgb8.fits", 3, 8, false, { "--set", "linear=false" }, 0 },
      { "gray32.fits", 1, 32, false, { "--set", "amount=0" }, 0 },
      { "gray64f.fits", 1, 64, true, { "--set", "amount=0", "--set", "model=v2" }, 0 },
   };
   for ( const auto& c : cases )
   {
      const fs::path input = Write( c.name, Sky( 520, 512, c.channels, c.bits, c.isFloat ) );
      std::vector<std::string> arguments = { "--open", input.string() };
      arguments.insert( arguments.end(), c.parameters.begin(), c.parameters.end() );
      arguments.insert( arguments.end(), { "--run", "--save", "out-" + std::string( c.name ) } );
      const Outcome o = RunHost( m_dir.Path(), arguments );
      ASSERT_EQ( o.status, 0 ) << c.name << "\n" << o.err;
      EXPECT_EQ( o.err, "" ) << c.name; // no chatter from TensorFlow either
      EXPECT_NE( o.out.find( "Processing 4 image tiles: done\n" ), std::string::npos ) << c.name << o.out;
      const host::ImageData in = host::ReadImageFile( input.string() );
      const host::ImageData out = host::ReadImageFile( ( m_dir.Path() / ( "out-" + std::string( c.name ) ) ).string() );
      ASSERT_EQ( out.channels.size(), in.channels.size() ) << c.name;
      double worst = 0;
      host::WithSampleType( c.bits, c.isFloat, [&]<typename T>( T ) {
         for ( size_t k = 0; k < in.channels.size(); ++k )
            for ( size_t i = 0; i < in.channels[k].size() / sizeof( T ); ++i )
               worst = std::max( worst, std::abs( double( reinterpret_cast<const T*>( in.channels[k].data() )[i] ) -
                                                  double( reinterpret_cast<const T*>( out.channels[k].data() )[i] ) ) );
      } );
      EXPECT_LE( worst, c.tolerance ) << c.name;
   }
}

TEST_F( HostToolTest, RefusalsEndWithOneLineAndNothingWritten )
{
   using project_pelk::graphs::GraphKind;
   const std::string narrow = Write( "narrow.fits", Sky( 511, 600, 1, 16, false ) ).string();
   const std::string wide = Write( "wide.fits", Sky( 512, 512, 1, 16, false ) ).string();
   const struct
   {
      std::vector<std::string> arguments;
      int status;
      std::string err;
      GraphKind network = GraphKind::Identity;
   } cases[] = {
      // A run that a command line launches fails the command, whatever the
      // process's own result: on the current view, with a network whose
      // output is not finite, and on one view of several.
      { { "--open", narrow, "--command", "Velqora", "--save", "out.fits" },
        1,
        "velqora-host: --command Velqora: Velqora requires images at least 512x512 pixels.\n" },
      { { "--open", wide, "--command", "Velqora", "--save", "out.fits" },
        1,
        "velqora-host: --command Velqora: Model output contains a non-finite sample at tile 0.\n",
        GraphKind::NaN },
      { { "--open", narrow, "--open", wide, "--command", "Velqora *", "--save", "out.fits" },
        1,
        "velqora-host: --command \"Velqora *\": Velqora requires images at least 512x512 pixels.\n" },
      { { "--open", narrow, "--run", "--save", "out.fits" },
        1,
        "velqora-host: --run: Velqora requires images at least 512x512 pixels.\n" },
      { { "--open", wide, "--set", "amount=1.5", "--run", "--save", "out.fits" },
        1,
        "velqora-host: --set amount=1.5: Invalid value for parameter amount: 1.5 (outside 0 to 1)\n" },
      { { "--open", wide, "--command", "Velqora nothere", "--save", "out.fits" },
        1,
        "velqora-host: --command \"Velqora nothere\": Image not found\n" },
      { { "--open", wide, "--stf", "0.5,0,1,0,1", "0.5,0,1,0,1", "0.5,0,1,0", "0.5,0,1,0,1" },
        2,
        "velqora-host: --stf: \"0.5,0,1,0\" is not five numbers m,c0,c1,r0,r1\n" },
      { { "--window", "--window-set", "99=1" },
        1,
        "velqora-host: --window-set 99=1: no control numbered so; --window shows the numbers\n" },
      { { "--window", "--window-set", "4=abc" }, 1, "velqora-host: --window-set 4=abc: not a number: abc; the edit takes numbers only\n" },
      { { "--open", wide, "--save", wide }, 1, "velqora-host: --save " + wide +
                                                   ": the file exists already; it is not overwritten\n" },
   };
   const std::string before = Contents( wide );
   for ( const auto& c : cases )
   {
      Weights( c.network );
      const Outcome o = RunHost( m_dir.Path(), c.arguments );
      EXPECT_EQ( o.status, c.status ) << c.err;
      EXPECT_EQ( o.err.substr( 0, o.err.find( "usage:" ) ), c.err );
      EXPECT_FALSE( fs::exists( m_dir.Path() / "out.fits" ) ) << c.err;
   }
   EXPECT_EQ( Contents( wide ), before );
}

// What the module told, its window driven, and command lines of the process
// run on the open windows (their arguments are in ProcessTest).
TEST_F( HostToolTest, ListsWhatItIsToldAndRunsCommandLines )
{
   Weights( project_pelk::graphs::GraphKind::Identity );
   const std::string m51 = Write( "M51.fits", Sky( 512, 512, 3, 8, false ) ).string();
   const struct
   {
      std::vector<std::string> arguments;
      std::vector<std::string> shown;
   } cases[] = {
      { { "--list", "--window", "--window-set", "10=v1 (RGB only)", "--window-set", "4=0.4", "--window",
          "--window-set", "4=-0 ", "--window" },
        { "Module Velqora\n  version PIXINSIGHT_MODULE_VERSION_1.1.0.0096.eng\n"
          "  description PixInsight Velqora Process Module\n  file Velqora-pxm.so\n  released 2026-05-18\n",
          "Velqora version 0x100 command-line\n"
          "  linear boolean default true\n"
          "  model enumeration v2=0, v1=1 default v2\n"
          "  amount real default 1 range 0 to 1\n"
          "  shadows_clipping real default -2.8 precision 2\n"
          "  target_background real default 0.25 precision 2\n"
          "Velqora interface of Velqora version 0x100 icon 24 24 113 2 imports generates validates\n",
          "[4] Edit text=\"1.00\"", "[4] Edit text=\"0.40\"", "[6] Slider value=100 ", "current=1\n",
          "[4] Edit text=\"0.00\"", "[6] Slider value=0 " } },
      { { "--open", m51, "--command", "Velqora --interface" },
        { "The interface of Velqora is open: linear=true model=v2 amount=1 shadows_clipping=-2.8 target_background=0.25\n" } },
      { { "--open", m51, "--command", "Velqora" }, { "Processing 4 image tiles: done\n" } }, // the active window
   };
   for ( const auto& c : cases )
   {
      const Outcome o = RunHost( m_dir.Path(), c.arguments );
      EXPECT_EQ( o.status, 0 ) << o.err;
      for ( const std::string& shown : c.shown )
         EXPECT_NE( o.out.find( shown ), std::string::npos ) << shown << "\n" << o.out;
   }
}

TEST_F( HostToolTest, CtrlCAbortsTheRunAndNothingIsSaved )
{
   Weights( project_pelk::graphs::GraphKind::Network );
   const fs::path input = Write( "big.fits", Sky( 2400, 2400, 3, 32, true ) );
   const std::string before = Contents( input );
   // Into a pipe the console shows whole lines only: this one comes before the tiles.
   const Outcome o = RunHost( m_dir.Path(), { "--open", input.string(), "--run", "--save", "out.fits" },
                              { [&] { return Contents( m_dir.Path() / "stdout.txt" ).find( "Image size: 2400x2400\n" ) != std::string::npos; } } );
   EXPECT_EQ( o.status, 130 ) << o.err;
   EXPECT_EQ( o.err, "velqora-host: --run: stopped by Ctrl-C; nothing more is done or saved\n" );
   EXPECT_EQ( o.out.find( "Done!" ), std::string::npos );
   EXPECT_FALSE( fs::exists( m_dir.Path() / "out.fits" ) );
   EXPECT_EQ( Contents( input ), before );
}

// Ctrl-C or SIGTERM while the file is being written abandons the save.
TEST_F( HostToolTest, ASignalDuringASaveAbandonsIt )
{
   const fs::path input = Write( "large.fits", Sky( 4000, 3000, 1, 32, true ) );
   const fs::path target = m_dir.Path() / "out.fits";
   const struct
   {
      int signal;
      bool targetExists;
      int status;
      std::string err;
   } cases[] = {
      { SIGINT, false, 130, "velqora-host: --save out.fits: stopped by Ctrl-C; the save is abandoned, out.fits is as it was\n" },
      { SIGTERM, true, 143, "velqora-host: --save out.fits: stopped by SIGTERM; the save is abandoned, out.fits is as it was\n" },
   };
   for ( const auto& c : cases )
   {
      fs::remove( target );
      if ( c.targetExists )
         m_dir.Write( "out.fits", "what was there" );
      // The temporary file is hidden beside the target; once it has bytes, the save is under way.
      auto beingWritten = [&] {
         for ( const auto& entry : fs::directory_iterator( m_dir.Path() ) )
         {
            std::error_code gone; // the name is reserved before the file is written
            const auto size = fs::file_size( entry.path(), gone );
            if ( entry.path().filename().string().starts_with( ".out.fits." ) && !gone && size > 0 )
               return true;
         }
         return false;
      };
      const Outcome o = RunHost( m_dir.Path(), { "--overwrite", "--open", input.string(), "--save", "out.fits", "--list" },
                                 { beingWritten, c.signal } );
      EXPECT_EQ( o.status, c.status ) << o.err;
      EXPECT_EQ( o.err, c.err );
      EXPECT_EQ( fs::exists( target ), c.targetExists );
      if ( c.targetExists )
      {
         EXPECT_EQ( Contents( target ), "what was there" );
      }
      for ( const auto& entry : fs::directory_iterator( m_dir.Path() ) )
         EXPECT_FALSE( entry.path().filename().string().starts_with( "." ) ) << entry.path();
   }
}

// What a pipe brings until its writers are gone; closes it.
std::string ReadToEnd( int fd )
{
   std::string read;
   char buffer[4096];
   for ( ssize_t n; ( n = ::read( fd, buffer, sizeof buffer ) ) > 0; )
      read.append( buffer, size_t( n ) );
   ::close( fd );
   return read;
}

// How a child process with the filter on its standard error ends.
enum class Ending
{
   Return,          // the filter goes out of scope
   Abort,           // abort(), as after a fatal record
   SanitizerFinding // undefined behaviour, which the sanitizers' build reports and dies of
};

// What reaches the terminal of a child process that writes `writes` to its
// filtered standard error, one write each, and then ends so.
std::string Filtered( const std::vector<std::string>& writes, Ending ending, int& status )
{
   int fds[2];
   EXPECT_EQ( ::pipe( fds ), 0 );
   const pid_t pid = ::fork();
   if ( pid == 0 )
   {
      ::dup2( fds[1], STDERR_FILENO );
      ::close( fds[0] );
      ::close( fds[1] );
      {
         host::StderrFilter filter;
         for ( const std::string& w : writes )
            (void)!::write( STDERR_FILENO, w.data(), w.size() );
         if ( ending == Ending::Abort )
            std::abort();
#if defined( __SANITIZE_ADDRESS__ )
         volatile int most = INT_MAX;
         if ( ending == Ending::SanitizerFinding )
            most = most + 1;
#endif
      }
      ::_exit( 0 );
   }
   ::close( fds[1] );
   const std::string shown = ReadToEnd( fds[0] );
   ::waitpid( pid, &status, 0 );
   return shown;
}

TEST( StderrFilter, KeepsTensorFlowsRecordsOffTheTerminalAndNothingElse )
{
   const std::string record = "I0000 00:00:1796586745.687094   29011 port.cc:153] oneDNN custom operations are on.\n";
   const std::string fatal = "F0000 00:00:1796586745.687094   29011 op_kernel.cc:12] Check failed: x == y\n";
   const std::string looksLikeOne[] = {
      "plain text\n",
      "I000 00:00:1.0 1 a.cc:1] three digits\n",
      "I00000 00:00:1.0 1 a.cc:1] five digits\n",
      "X0000 00:00:1.0 1 a.cc:1] no severity\n",
      "W0000 12 a] no colon before the bracket\n",
      "E0000 00:00:1.0 1 a.cc:1]no blank after the bracket\n",
      "I0a00 00:00:1.0 1 a.cc:1] a letter among the digits\n",
      "W0000\n",
   };
   std::string ordinary;
   for ( const std::string& line : looksLikeOne )
      ordinary += line;
   const std::string longLine = std::string( 9000, 'x' ) + "end of the long line\n";
   const struct
   {
      std::vector<std::string> writes;
      Ending ending;
      std::string shown; // exactly; for a sanitizer's finding, the start and a part of its report
   } cases[] = {
      { { ordinary, longLine, "split ", "over two writes\n", "last line without a line feed" },
        Ending::Return,
        ordinary + longLine + "split over two writes\nlast line without a line feed" },
      { { record, "  a further line of the record\n",
          "WARNING: All log messages before absl::InitializeLog() is called are written to STDERR\n", fatal,
          "*** Check failure stack trace: ***\n", "last line without a line feed" },
        Ending::Abort,
        fatal + "*** Check failure stack trace: ***\nlast line without a line feed" },
      { { record, "  a further line\n", "E0000 00:00:1796586745.687094   29011 a.cc:1] an error\n",
          "W1207 05:14:33.000000   29011 b.cc:2] a warning\n" },
        Ending::Return,
        "" },
#if defined( __SANITIZE_ADDRESS__ )
      { { "before the finding\n", "last line without a line feed" },
        Ending::SanitizerFinding,
        "before the finding\nlast line without a line feed|runtime error: signed integer overflow" },
#endif
   };
   for ( const auto& c : cases )
   {
      int status = 0;
      const std::string shown = Filtered( c.writes, c.ending, status );
      if ( c.ending == Ending::SanitizerFinding )
      {
         const size_t bar = c.shown.find( '|' );
         EXPECT_NE( shown.find( c.shown.substr( 0, bar ) ), std::string::npos ) << shown;
         EXPECT_NE( shown.find( c.shown.substr( bar + 1 ) ), std::string::npos ) << shown;
         EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) != 0 ) << status;
         continue;
      }
      EXPECT_EQ( shown, c.shown );
      EXPECT_EQ( WIFSIGNALED( status ) && WTERMSIG( status ) == SIGABRT, c.ending == Ending::Abort ) << status;
   }
}

// What the terminal shows of console text, on a terminal and into a pipe.
std::string Shown( const std::vector<std::string>& writes, bool isTerminal )
{
   int fds[2];
   EXPECT_EQ( ::pipe( fds ), 0 );
   {
      host::Terminal terminal( fds[1], isTerminal );
      for ( const std::string& w : writes )
         terminal.Write( w );
      terminal.Finish();
   }
   ::close( fds[1] );
   return ReadToEnd( fds[0] );
}

TEST( Terminal, ShowsTheConsoleMarkupAsThePlatformsConsoleDoes )
{
   const std::vector<std::string> progress = { "<end><cbr>Processing 4 image tiles:   0%", "\b\b\b\b 50%",
                                               "\b\b\b\bdone\n" };
   const struct
   {
      std::vector<std::string> writes;
      std::string terminal, pipe;
   } cases[] = {
      { { "a<end><cbr>b<br>c", "<end><cbr>d" }, "a\nb\nc\nd\n", "a\nb\nc\nd\n" },
      { { "<raw>Usage: Velqora [<arg_list>]\n<br></raw><br>" }, "Usage: Velqora [<arg_list>]\n<br>\n",
        "Usage: Velqora [<arg_list>]\n<br>\n" },
      { { "\033[1;38;2;226;10;10mVelqora\033[39;21m\n", "\033[35mWarning\033[39m" },
        "\033[1;38;2;226;10;10mVelqora\033[39;21m\n\033[35mWarning\033[39m\n", "Velqora\nWarning\n" },
      { progress, "Processing 4 image tiles:   0%\b\b\b\b 50%\b\b\b\bdone\n", "Processing 4 image tiles: done\n" },
   };
   for ( const auto& c : cases )
   {
      EXPECT_EQ( Shown( c.writes, true ), c.terminal );
      EXPECT_EQ( Shown( c.writes, false ), c.pipe );
   }
}

} // namespace
