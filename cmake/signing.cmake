# Release signing. With SIGN_PKCS12 set, every program passed to sign_after_link is signed by
# osslsigncode as soon as it is linked: the product's programs before they are packed, setup.exe
# after its payload is in.
set(SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file holding the code-signing certificate and key (empty: nothing is signed)")
set(SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of SIGN_PKCS12 (may be empty)")
set(SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server (empty: none, and signing is reproducible)")

if(SIGN_PKCS12)
    if(NOT EXISTS "${SIGN_PKCS12}")
        message(FATAL_ERROR "SIGN_PKCS12: no such file: ${SIGN_PKCS12}")
    endif()
    if(NOT SIGN_PASSWORD_FILE OR NOT EXISTS "${SIGN_PASSWORD_FILE}")
        message(FATAL_ERROR "SIGN_PASSWORD_FILE must name the file that holds the password of "
                            "SIGN_PKCS12 (an empty file when it has none)")
    endif()
    find_program(OSSLSIGNCODE osslsigncode)
    if(NOT OSSLSIGNCODE)
        message(FATAL_ERROR "Signing needs osslsigncode; scripts/install-deps installs it.")
    endif()
endif()

# Any change of the settings relinks the signed programs, so that none keeps a signature, or the
# lack of one, from other settings.
set(SIGNING_SETTINGS ${CMAKE_BINARY_DIR}/signing-settings.txt)
file(CONFIGURE OUTPUT ${SIGNING_SETTINGS}
     CONTENT "${SIGN_PKCS12}\n${SIGN_PASSWORD_FILE}\n${SIGN_TIMESTAMP_URL}\n")
set(SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign.py)

function(sign_after_link target)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SIGNING_SETTINGS})
    if(NOT SIGN_PKCS12)
        return()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SIGN_PKCS12} ${SIGN_PASSWORD_FILE})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${Python3_EXECUTABLE} ${SIGN_SCRIPT} --osslsigncode ${OSSLSIGNCODE}
                --strings ${RES_DIR}/strings.rc --source-dir ${CMAKE_SOURCE_DIR}
                --pkcs12 ${SIGN_PKCS12} --password-file ${SIGN_PASSWORD_FILE}
                --timestamp-url=${SIGN_TIMESTAMP_URL} $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()
