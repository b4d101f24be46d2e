#include "form1.h"

int main()
{
    return platform::RunProgram([] {
        Form1 form;
        return platform::StartProgram(form.window());
    });
}
