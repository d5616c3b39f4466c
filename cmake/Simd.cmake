# Vectorised stages live in files named *_ssse3.cpp, *_sse41.cpp, *_avx2.cpp and *_avx512.cpp;
# only those files are compiled for the instruction sets beyond the baseline, and the driver
# picks them at run time by CPU features.
function(vexacam_simd_sources target)
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "_ssse3\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-mssse3")
    elseif(source MATCHES "_sse41\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-msse4.1")
    elseif(source MATCHES "_avx2\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma;-mbmi;-mbmi2")
    elseif(source MATCHES "_avx512\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS
        "-mavx2;-mfma;-mbmi;-mbmi2;-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx512vbmi")
    endif()
  endforeach()
endfunction()
