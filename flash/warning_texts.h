// What the user is told before an upgrade that the model list wants
// confirmed: the warning dialog's texts, which the Linux program shows on
// the terminal too.
#pragma once

namespace warning_text {

inline constexpr char kGreeting[] = "Dear customer,\n \nThank you for choosing this products!";
inline constexpr char kAdvice[] =
    "1. We advises to close any programs you are using before running this upgraded program.\n"
    "2. Please do not upgrade firmware unless you have been specifically instructed to do so!\n"
    "3. Failed firmware updates may render your drive inoperable.\n"
    "4. KAVORA tools are exclusive to the single firmware which is not compatible with\n"
    "    miltiple F/W versions.";
inline constexpr char kCaution[] =
    "Do not upgrade firmware if the drive works normally!\n"
    "Do not install other versions of the firmware with this utility program!\n"
    "Do not use other versions of the upgraded program to install this\n"
    "version of the firmware!";
inline constexpr char kQuestion[] =
    "Despite the above warning, do you still want to update your firmware ?";

} // namespace warning_text
