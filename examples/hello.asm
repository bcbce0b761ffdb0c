; hello.asm: clears the TI-86 screen and prints a greeting.
; Assemble with: pasmo --hex hello.asm hello.hex

_clrLCD         equ 4A7Eh       ; ROM: clear the display
_homeup         equ 4A95h       ; ROM: cursor to the top left corner
_puts           equ 4A37h       ; ROM: print the zero-terminated text at HL

                org 0D748h      ; where the TI-86 runs assembly programs

start:          call _clrLCD
                call _homeup
                ld hl,greeting
                call _puts
                ret

greeting:       db "Hello from Z80!",0
