;;; Types readings in Emacs SKK (ddskk) set up as a Debian user has it: the
;;; site's start files (run by `emacs --batch' without -Q: Debian's
;;; 50ddskk.el sets `skk-cdb-large-jisyo' to SKK-JISYO.cdb), ddskk's default
;;; `skk-search-prog-list', and the lines brenlow printed for the user put in
;;; ~/.skk, which SKK reads when it starts.
;;;
;;; HOME=DIR emacs --batch -l preset_typing.el REQUESTS
;;;
;;; REQUESTS (UTF-8) holds one request a line: "T" and the keys a user types
;;; (SPC last starts the conversion), or "L" and a reading no key sequence
;;; gives, which is searched as the conversion would search it.  The search
;;; program that reads the user's dictionary is the one the lines in ~/.skk
;;; added or pointed elsewhere; anything else (two such programs, none) is an
;;; error.  Prints one JSON list a line: the request, the reading SKK built,
;;; and the words that program gave (annotation cut, Lisp evaluated), in the
;;; order a user meets them.
(set-language-environment "Japanese")
(require 'skk)
(require 'json)

(defvar brenlow-before
  (list (copy-sequence skk-search-prog-list)
        (and (boundp 'skk-extra-jisyo-file-list)
             (copy-sequence skk-extra-jisyo-file-list))
        skk-cdb-large-jisyo skk-large-jisyo)
  "The dictionary settings before SKK reads ~/.skk.")

;; SKK starts once, reading ~/.skk.
(with-temp-buffer (skk-mode 1) (skk-mode -1))

(defun brenlow-our-program ()
  "The search program the lines of ~/.skk gave the user's dictionary."
  (let ((added (seq-remove (lambda (p) (member p (nth 0 brenlow-before)))
                           skk-search-prog-list))
        (ours nil))
    (when (not (equal skk-extra-jisyo-file-list (nth 1 brenlow-before)))
      (push '(skk-search-extra-jisyo-files) ours))
    (when (not (equal skk-cdb-large-jisyo (nth 2 brenlow-before)))
      (push '(skk-search-cdb-jisyo skk-cdb-large-jisyo) ours))
    (when (not (equal skk-large-jisyo (nth 3 brenlow-before)))
      (push '(skk-search-jisyo-file skk-large-jisyo 10000) ours))
    (setq ours (append added ours))
    (unless (= (length ours) 1)
      (error "~/.skk gave %d search programs for the dictionary: %S"
             (length ours) ours))
    (unless (member (car ours) skk-search-prog-list)
      (error "%S is not in skk-search-prog-list" (car ours)))
    (car ours)))

(defun brenlow-words (ours)
  "The words OURS gives for `skk-henkan-key', going through the whole
search program list as successive conversions do."
  (let ((skk-current-search-prog-list skk-search-prog-list)
        (words nil))
    (while skk-current-search-prog-list
      (let ((found (skk-search)))
        (when (equal (nth 1 skk-search-state) ours)
          (dolist (candidate found)
            ;; Numeric conversion gives (word shown . word filed).
            (let ((word (car (skk-treat-strip-note-from-word
                              (if (consp candidate) (car candidate)
                                candidate)))))
              (push (condition-case err
                        (if (skk-lisp-prog-p word) (skk-eval-string word) word)
                      (error (format "<error %S>" err)))
                    words))))))
    (nreverse words)))

(let* ((ours (brenlow-our-program))
       (requests (with-temp-buffer
                   (let ((coding-system-for-read 'utf-8))
                     (insert-file-contents (car command-line-args-left)))
                   (split-string (buffer-string) "\n" t))))
  (setq command-line-args-left nil)
  (message "search program: %S" ours)
  (dolist (request requests)
    (let ((kind (substring request 0 1))
          (text (substring request 1))
          (buffer (generate-new-buffer "typing"))
          (key nil) (words nil))
      (switch-to-buffer buffer)
      (skk-mode 1)
      (if (equal kind "T")
          ;; Registration (no candidate at all) reads standard input, which
          ;; is empty.
          (condition-case nil (execute-kbd-macro text) (error nil))
        (setq skk-henkan-key text))
      (setq key skk-henkan-key)
      (when key
        (let ((skk-henkan-okurigana nil) (skk-okuri-char nil))
          (setq words (brenlow-words ours))))
      (condition-case nil (skk-kakutei) (error nil))
      (switch-to-buffer "*scratch*")
      (kill-buffer buffer)
      (princ (concat "[" (json-encode-string request) ","
                     (json-encode-string (or key "")) ","
                     (json-encode (vconcat words)) "]\n")))))
