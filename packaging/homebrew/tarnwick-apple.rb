# Homebrew formula: builds the sidecar and its schema checker from a source tarball with the
# `macos` preset, as the README's "On a Mac" does, and installs them with their manual pages.
class TarnwickApple < Formula
  desc "One-shot JSON sidecar for the on-device language model of macOS"
  homepage "https://github.com/tarnwick/tarnwick_apple"
  # The release's tarball; packaging/homebrew/local-formula points a copy at a tarball of the
  # working tree instead (the macOS workflow installs that).
  url "https://github.com/tarnwick/tarnwick_apple/archive/refs/tags/v1.0.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "icu4c@78" => :build
  depends_on "ninja" => :build
  depends_on "simdjson" => :build
  depends_on arch: :arm64
  depends_on macos: :tahoe
  depends_on xcode: ["26.0", :build]

  def install
    # The preset's Homebrew paths are those of /opt/homebrew; this installation's may differ.
    icu = Formula["icu4c@78"].opt_prefix
    system "cmake", "--preset", "macos",
           "-DICU_ROOT=#{icu}",
           "-DCMAKE_PREFIX_PATH=#{HOMEBREW_PREFIX}",
           "-DCMAKE_INSTALL_PREFIX=#{prefix}"
    system "cmake", "--build", "--preset", "macos"
    system "cmake", "--install", "build/macos"
  end

  test do
    assert_equal "tarnwick_apple #{version} (engine: framework)\n", shell_output("#{bin}/tarnwick_apple --version")

    # The probe answers without Apple Intelligence too: 0 when usable, 1 with a reason when not.
    probe = `#{bin}/tarnwick_apple --probe`
    assert_includes [0, 1], $CHILD_STATUS.exitstatus
    assert_match(/\A\{"available":(true,"reason":null|false,"reason":"(DEVICE_NOT_ELIGIBLE|APPLE_INTELLIGENCE_NOT_ENABLED|MODEL_NOT_READY|UNKNOWN)")\}\n\z/,
                 probe)

    # A malformed request never reaches the model.
    assert_equal "{\"status\":\"error\",\"kind\":\"FoundationModelsError\"," \
                 "\"message\":\"the request on stdin could not be decoded into a sidecar request\"}\n",
                 pipe_output(bin/"tarnwick_apple", "{", 0)
    assert_match "\"status\":\"ok\"", pipe_output(bin/"tarnwick_apple_schema", "{\"type\":\"string\"}", 0)
  end
end
