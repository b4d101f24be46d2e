#include "form1.h"

int main()
{
    Form1 form;
    return platform::StartProgram(form.window());
}
